#include "ChartsCompare.h"

#include "BenchSupport.h"

#ifdef QUELLIX_BENCH_QTCHARTS
#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QImage>
#include <QLineSeries>
#include <QValueAxis>
#endif

namespace quellix {

#ifdef QUELLIX_BENCH_QTCHARTS
std::optional<std::vector<double>> ChartsRedrawMs(const ColumnReducer& columns, QSize size) {
    auto* chart = new QChart;
    auto* time = new QDateTimeAxis;
    chart->addAxis(time, Qt::AlignBottom);
    for (int s = 0; s < 4; ++s) {
        auto* series = new QLineSeries;
        QList<QPointF> points;
        for (const Column& column : columns.Columns()) {
            const SeriesColumn& c = column.series[static_cast<std::size_t>(s)];
            if (c.count == 0)
                continue;
            const double x = static_cast<double>(columns.ColumnStart(column));
            points << QPointF(x, c.first) << QPointF(x, c.min) << QPointF(x, c.max) << QPointF(x, c.last);
        }
        series->replace(points);
        chart->addSeries(series);
        auto* values = new QValueAxis;
        chart->addAxis(values, s % 2 == 0 ? Qt::AlignLeft : Qt::AlignRight);
        series->attachAxis(time);
        series->attachAxis(values);
    }
    QChartView view(chart);
    view.resize(size);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    std::vector<double> times;
    for (int i = 0; i < 60; ++i) {
        // A full redraw, as after a new reading: the series' geometry is computed again.
        chart->zoomReset();
        const auto before = bench::Clock::now();
        view.QWidget::render(&image);
        times.push_back(bench::Ms(bench::Clock::now() - before));
    }
    return times;
}
#else
std::optional<std::vector<double>> ChartsRedrawMs(const ColumnReducer&, QSize) {
    return std::nullopt;
}
#endif

} // namespace quellix
