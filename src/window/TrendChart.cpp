#include "TrendChart.h"

#include "ReadingFormat.h"

#include <QDateTime>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QRubberBand>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace quellix {

namespace {

constexpr int LegendSwatch = 10;  // the colour square before each name
constexpr int LegendSpacing = 16; // between two entries on a line
constexpr int TimeAxisHeight = 22;
constexpr int AxisWidth = 56;
constexpr int EdgeMargin = 10;
constexpr int MinTickSpacingPx = 80;
constexpr std::int64_t MinViewMs = 2000;
constexpr double WheelZoomIn = 0.8; // of the view per wheel step

// Time steps for the ticks, in ms: from a second to a day.
constexpr std::int64_t TimeSteps[] = {1000,    2000,    5000,     10000,    15000,    30000,
                                      60000,   120000,  300000,   600000,   900000,   1800000,
                                      3600000, 7200000, 10800000, 21600000, 43200000, 86400000};

// A tick step near range / 5 on the 1, 2, 5 ladder.
double NiceStep(double range) {
    const double raw = range / 5;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0, 10.0}) {
        if (m * magnitude >= raw)
            return m * magnitude;
    }
    return 10 * magnitude;
}

QString TickText(double value, double step) {
    const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
    return QString::number(value, 'f', decimals);
}

} // namespace

TTrendChart::TTrendChart(const History& history, const ConfigBlock& block, QWidget* parent)
    : QWidget(parent), history_(history), block_(block) {
    setObjectName(QStringLiteral("TrendChart"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(480, 260);
    band_ = new QRubberBand(QRubberBand::Rectangle, this);
}

QColor TTrendChart::ChannelColour(int channel) {
    static const QColor colours[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x5f, 0x0e),
                                     QColor(0x2c, 0xa0, 0x2c), QColor(0x94, 0x27, 0xa8)};
    return colours[(channel - 1) & 3];
}

void TTrendChart::SetSpan(std::int64_t spanMs) {
    spanMs_ = std::max(MinViewMs, spanMs);
    if (!following_) {
        from_ = to_ - spanMs_;
    }
    Rebuild();
}

void TTrendChart::SetFollowing(bool following) {
    if (following == following_)
        return;
    if (!following) {
        from_ = ViewFrom();
        to_ = ViewTo();
    }
    following_ = following;
    Rebuild();
    Q_EMIT FollowingChanged(following_);
}

void TTrendChart::SetRawView(bool raw) {
    raw_ = raw;
    update();
    Q_EMIT ViewChanged();
}

void TTrendChart::SetChannelShown(int channel, bool shown) {
    shown_[static_cast<std::size_t>(channel - 1)] = shown;
    update();
}

bool TTrendChart::ChannelShown(int channel) const {
    return shown_[static_cast<std::size_t>(channel - 1)];
}

bool TTrendChart::ChannelDrawn(int channel) const {
    return ChannelShown(channel) && !(block_.ChannelFlags[channel - 1] & FlagDisabled);
}

std::int64_t TTrendChart::LatestTime() const {
    return history_.Empty() ? QDateTime::currentMSecsSinceEpoch() : history_.TimeAt(history_.Size() - 1);
}

std::int64_t TTrendChart::ViewTo() const {
    // Following, the view ends just after the latest reading, so that reading's column is in it.
    return following_ ? LatestTime() + 1 : to_;
}

std::int64_t TTrendChart::ViewFrom() const {
    return following_ ? ViewTo() - spanMs_ : from_;
}

// The columns again from the history, for a new span, view or width. Afterwards readings are added
// one at a time.
void TTrendChart::Rebuild() {
    const QRect plot = PlotRect();
    builtWidth_ = plot.width();
    const std::int64_t from = ViewFrom();
    const std::int64_t to = ViewTo();
    reducer_.Reset(std::max<std::int64_t>(1, (to - from) / std::max(1, plot.width())));
    // One reading before the view tells whether its first column joins on.
    std::size_t i = history_.LowerBound(from);
    i = i > 0 ? i - 1 : 0;
    for (; i < history_.Size() && history_.TimeAt(i) < to; ++i)
        reducer_.Add(history_.At(i));
    reducer_.DropBefore(from);
    update();
    Q_EMIT ViewChanged();
}

void TTrendChart::HistoryAdded() {
    if (!following_)
        return;
    if (builtWidth_ != PlotRect().width()) {
        Rebuild();
        return;
    }
    reducer_.Add(history_.At(history_.Size() - 1));
    reducer_.DropBefore(ViewFrom());
    update();
    Q_EMIT ViewChanged();
}

SeriesStats TTrendChart::Stats(int channel) const {
    return reducer_.Stats(Series(channel), ViewFrom() - reducer_.ColumnMs(), ViewTo());
}

void TTrendChart::ZoomTo(std::int64_t from, std::int64_t to) {
    if (to - from < MinViewMs) {
        const std::int64_t middle = from + (to - from) / 2;
        from = middle - MinViewMs / 2;
        to = from + MinViewMs;
    }
    const bool wasFollowing = following_;
    following_ = false;
    from_ = from;
    to_ = to;
    Rebuild();
    if (wasFollowing)
        Q_EMIT FollowingChanged(false);
}

QRect TTrendChart::PlotRect() const {
    int left = 0;
    int right = 0;
    for (int n = 1, drawn = 0; n <= ChannelCount; ++n) {
        if (!ChannelDrawn(n))
            continue;
        (drawn % 2 == 0 ? left : right) += AxisWidth;
        ++drawn;
    }
    left = std::max(left, EdgeMargin);
    right = width() - 1 - std::max(right, EdgeMargin);
    // Below the legend's lines, a line for the axes' units.
    const std::vector<QPoint> legend = Legend();
    const int top = (legend.empty() ? 0 : legend.back().y()) + 2 * LineHeight();
    return QRect(QPoint(left, top), QPoint(right, height() - 1 - TimeAxisHeight));
}

int TTrendChart::LineHeight() const {
    return fontMetrics().height() + 6;
}

QString TTrendChart::LegendText(int channel) const {
    return ChannelNames::FromBlock(block_).SeriesName(channel) + (raw_ ? QStringLiteral(" raw") : QString());
}

// The top-left corner of each drawn channel's entry, channel 1 first: entries follow each other across
// the chart's width and wrap to a new line where the next does not fit, so none is cut.
std::vector<QPoint> TTrendChart::Legend() const {
    std::vector<QPoint> places;
    const QFontMetrics metrics = fontMetrics();
    const int left = EdgeMargin;
    const int right = width() - 1 - EdgeMargin;
    int x = left;
    int y = 0;
    for (int n = 1; n <= ChannelCount; ++n) {
        if (!ChannelDrawn(n))
            continue;
        const int entry = LegendSwatch + 4 + metrics.horizontalAdvance(LegendText(n));
        if (x > left && x + entry > right) {
            x = left;
            y += LineHeight();
        }
        places.emplace_back(x, y);
        x += entry + LegendSpacing;
    }
    return places;
}

// Drawn channels alternate left and right of the plot, the first two next to it.
std::array<TTrendChart::Axis, ChannelCount> TTrendChart::Axes(int& count) const {
    std::array<Axis, ChannelCount> axes{};
    count = 0;
    const std::int64_t from = ViewFrom() - reducer_.ColumnMs();
    const std::int64_t to = ViewTo();
    for (int n = 1; n <= ChannelCount; ++n) {
        if (!ChannelDrawn(n))
            continue;
        Axis& a = axes[static_cast<std::size_t>(count)];
        a.channel = n;
        a.left = count % 2 == 0;
        a.slot = count / 2;
        const SeriesStats s = reducer_.Stats(Series(n), from, to);
        double lo = s.count ? s.min : 0;
        double hi = s.count ? s.max : 1;
        const double pad = hi > lo ? (hi - lo) * 0.05 : std::max(1.0, std::abs(hi) * 0.05);
        a.min = lo - pad;
        a.max = hi + pad;
        ++count;
    }
    return axes;
}

double TTrendChart::XOf(std::int64_t ms, const QRect& plot) const {
    const std::int64_t from = ViewFrom();
    const double span = static_cast<double>(std::max<std::int64_t>(1, ViewTo() - from));
    return plot.left() + static_cast<double>(ms - from) * plot.width() / span;
}

std::int64_t TTrendChart::TimeAt(int x, const QRect& plot) const {
    const std::int64_t from = ViewFrom();
    const double span = static_cast<double>(ViewTo() - from);
    return from + static_cast<std::int64_t>((x - plot.left()) * span / std::max(1, plot.width()));
}

void TTrendChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    const QRect plot = PlotRect();
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(plot);
    DrawTimeAxis(p, plot);
    int count = 0;
    const auto axes = Axes(count);
    for (int i = 0; i < count; ++i)
        DrawValueAxis(p, plot, axes[static_cast<std::size_t>(i)]);
    p.save();
    p.setClipRect(plot.adjusted(1, 1, 0, 0));
    for (int i = 0; i < count; ++i)
        DrawSeries(p, plot, axes[static_cast<std::size_t>(i)]);
    p.restore();
    DrawLegend(p);
    if (reducer_.Columns().empty()) {
        p.setPen(palette().color(QPalette::Text));
        p.drawText(plot, Qt::AlignCenter,
                   history_.Empty()
                       ? QStringLiteral("No readings yet: tick \"Auto Read\" in the main window.")
                       : QStringLiteral("No readings in this stretch of time."));
    }
}

void TTrendChart::DrawTimeAxis(QPainter& p, const QRect& plot) const {
    const std::int64_t from = ViewFrom();
    const std::int64_t to = ViewTo();
    const double pxPerMs = static_cast<double>(plot.width()) / std::max<std::int64_t>(1, to - from);
    std::int64_t step = TimeSteps[std::size(TimeSteps) - 1];
    for (const std::int64_t s : TimeSteps) {
        if (s * pxPerMs >= MinTickSpacingPx) {
            step = s;
            break;
        }
    }
    // Ticks on round local times.
    const std::int64_t offset = QDateTime::fromMSecsSinceEpoch(to).offsetFromUtc() * 1000LL;
    std::int64_t t = ((from + offset) / step + 1) * step - offset;
    const QString format = step < 60000 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
    const QFontMetrics metrics(p.font());
    for (; t < to; t += step) {
        const int x = static_cast<int>(XOf(t, plot));
        p.setPen(palette().color(QPalette::Midlight));
        p.drawLine(x, plot.top() + 1, x, plot.bottom() - 1);
        p.setPen(palette().color(QPalette::Text));
        p.drawLine(x, plot.bottom(), x, plot.bottom() + 3);
        const QString text = QDateTime::fromMSecsSinceEpoch(t).toString(format);
        const int w = metrics.horizontalAdvance(text);
        p.drawText(QRect(x - w / 2 - 2, plot.bottom() + 4, w + 4, metrics.height()), Qt::AlignCenter, text);
    }
}

void TTrendChart::DrawValueAxis(QPainter& p, const QRect& plot, const Axis& axis) const {
    const QColor colour = ChannelColour(axis.channel);
    const int x = axis.left ? plot.left() - axis.slot * AxisWidth : plot.right() + axis.slot * AxisWidth;
    const int dir = axis.left ? -1 : 1;
    p.setPen(colour);
    p.drawLine(x, plot.top(), x, plot.bottom());
    const double step = NiceStep(axis.max - axis.min);
    const QFontMetrics metrics(p.font());
    // The axis's title over it: the channel's units, or "raw".
    const QString units =
        raw_ ? QStringLiteral("raw") : ChannelNames::FromBlock(block_).units[axis.channel - 1];
    const QRect title = axis.left
                            ? QRect(x - AxisWidth + 2, plot.top() - LineHeight(), AxisWidth - 2, LineHeight())
                            : QRect(x, plot.top() - LineHeight(), AxisWidth - 2, LineHeight());
    p.drawText(title, (axis.left ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
               metrics.elidedText(units, Qt::ElideRight, title.width()));
    for (double v = std::ceil(axis.min / step) * step; v <= axis.max; v += step) {
        const int y =
            plot.bottom() - static_cast<int>((v - axis.min) / (axis.max - axis.min) * plot.height());
        p.drawLine(x, y, x + 4 * dir, y);
        if (axis.slot == 0 && axis.left) {
            p.setPen(palette().color(QPalette::Midlight));
            p.drawLine(plot.left() + 1, y, plot.right() - 1, y);
            p.setPen(colour);
        }
        const QString text = TickText(std::abs(v) < step / 2 ? 0.0 : v, step);
        const QRect box =
            axis.left ? QRect(x - AxisWidth + 2, y - metrics.height() / 2, AxisWidth - 8, metrics.height())
                      : QRect(x + 6, y - metrics.height() / 2, AxisWidth - 8, metrics.height());
        p.drawText(box, (axis.left ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, text);
    }
}

// Each column is a vertical stroke from its minimum to its maximum, joined to the next column unless
// a gap lies between them; a lone reading is a dot.
void TTrendChart::DrawSeries(QPainter& p, const QRect& plot, const Axis& axis) const {
    const auto series = static_cast<std::size_t>(Series(axis.channel));
    const double scale = plot.height() / (axis.max - axis.min);
    const double bottom = plot.bottom();
    const auto yOf = [&](float v) { return bottom - (v - axis.min) * scale; };
    const double half = reducer_.ColumnMs() / 2.0;
    QPen pen(ChannelColour(axis.channel), 1);
    p.setPen(pen);
    QPolygonF run;
    const auto flush = [&] {
        if (run.size() == 1) {
            p.setPen(QPen(pen.color(), 4, Qt::SolidLine, Qt::RoundCap));
            p.drawPoint(run.front());
            p.setPen(pen);
        } else if (run.size() > 1) {
            p.drawPolyline(run);
        }
        run.clear();
    };
    for (const Column& column : reducer_.Columns()) {
        const SeriesColumn& c = column.series[series];
        if (c.count == 0)
            continue;
        if (!c.joinsPrevious)
            flush();
        const double x = XOf(reducer_.ColumnStart(column), plot) +
                         half * plot.width() / std::max<double>(1, ViewTo() - ViewFrom());
        run << QPointF(x, yOf(c.first));
        if (c.min < c.max)
            run << QPointF(x, yOf(c.min)) << QPointF(x, yOf(c.max));
        if (c.count > 1)
            run << QPointF(x, yOf(c.last));
    }
    flush();
}

void TTrendChart::DrawLegend(QPainter& p) const {
    const std::vector<QPoint> places = Legend();
    const QFontMetrics metrics(p.font());
    const int line = LineHeight();
    p.setPen(palette().color(QPalette::Text));
    std::size_t i = 0;
    for (int n = 1; n <= ChannelCount; ++n) {
        if (!ChannelDrawn(n))
            continue;
        const QPoint at = places[i++];
        p.fillRect(QRect(at.x(), at.y() + (line - LegendSwatch) / 2, LegendSwatch, LegendSwatch),
                   ChannelColour(n));
        // A name wider than the whole line gives way at its end.
        const int room = width() - EdgeMargin - at.x() - LegendSwatch - 4;
        p.drawText(QPoint(at.x() + LegendSwatch + 4, at.y() + (line + metrics.ascent()) / 2 - 1),
                   metrics.elidedText(LegendText(n), Qt::ElideRight, room));
    }
}

void TTrendChart::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Rebuild();
}

void TTrendChart::wheelEvent(QWheelEvent* event) {
    const QRect plot = PlotRect();
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0 || !plot.contains(event->position().toPoint())) {
        event->ignore();
        return;
    }
    const double factor = std::pow(WheelZoomIn, steps);
    const std::int64_t at = TimeAt(static_cast<int>(event->position().x()), plot);
    const auto from = ViewFrom();
    const auto to = ViewTo();
    ZoomTo(at - static_cast<std::int64_t>((at - from) * factor),
           at + static_cast<std::int64_t>((to - at) * factor));
    event->accept();
}

void TTrendChart::mousePressEvent(QMouseEvent* event) {
    const QRect plot = PlotRect();
    if (event->button() != Qt::LeftButton || !plot.contains(event->position().toPoint()))
        return QWidget::mousePressEvent(event);
    bandOrigin_ = static_cast<int>(event->position().x());
    band_->setGeometry(QRect(bandOrigin_, plot.top(), 1, plot.height()));
    band_->show();
}

void TTrendChart::mouseMoveEvent(QMouseEvent* event) {
    if (bandOrigin_ < 0)
        return QWidget::mouseMoveEvent(event);
    const QRect plot = PlotRect();
    const int x = std::clamp(static_cast<int>(event->position().x()), plot.left(), plot.right());
    band_->setGeometry(
        QRect(QPoint(std::min(x, bandOrigin_), plot.top()), QPoint(std::max(x, bandOrigin_), plot.bottom())));
}

void TTrendChart::mouseReleaseEvent(QMouseEvent* event) {
    if (bandOrigin_ < 0)
        return QWidget::mouseReleaseEvent(event);
    band_->hide();
    const QRect plot = PlotRect();
    const int x = std::clamp(static_cast<int>(event->position().x()), plot.left(), plot.right());
    const int a = std::min(x, bandOrigin_);
    const int b = std::max(x, bandOrigin_);
    bandOrigin_ = -1;
    if (b - a >= 5)
        ZoomTo(TimeAt(a, plot), TimeAt(b, plot));
}

} // namespace quellix
