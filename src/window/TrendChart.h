// The trend's chart: the readings of the history over a span of time, one line per shown channel with
// a value axis of its own, on a wall-clock time axis. Gaps in the readings stay gaps. Each pixel column
// shows the minimum to maximum of its readings, kept up to date reading by reading. The wheel zooms
// about the pointer and a dragged band zooms to its stretch of time; both pause following the latest.
#pragma once

#include "ColumnReducer.h"
#include "ConfigBlock.h"
#include "History.h"

#include <QWidget>
#include <array>
#include <vector>

class QRubberBand;

namespace quellix {

class TTrendChart : public QWidget {
    Q_OBJECT
public:
    TTrendChart(const History& history, const ConfigBlock& block, QWidget* parent = nullptr);

    // Shows the last `spanMs` up to the latest reading, or that long a stretch ending where the view
    // ends now when paused.
    void SetSpan(std::int64_t spanMs);
    std::int64_t Span() const { return spanMs_; }
    // Following moves the view with each reading; paused keeps it where it is.
    void SetFollowing(bool following);
    bool Following() const { return following_; }
    // Raw values instead of the displayed ones.
    void SetRawView(bool raw);
    bool RawView() const { return raw_; }
    void SetChannelShown(int channel, bool shown);
    bool ChannelShown(int channel) const;
    // Enabled in the block and not hidden.
    bool ChannelDrawn(int channel) const;

    // The history got its newest entry (a reading or a gap mark).
    void HistoryAdded();
    // The view, [from, to) in ms since the epoch.
    std::int64_t ViewFrom() const;
    std::int64_t ViewTo() const;
    // Statistics of the channel's series (displayed or raw, as viewed) over the view.
    SeriesStats Stats(int channel) const;
    // Columns holding readings in the view.
    const ColumnReducer& Reduced() const { return reducer_; }

    static QColor ChannelColour(int channel);

Q_SIGNALS:
    // The view moved, was zoomed, or a reading was added to it.
    void ViewChanged();
    void FollowingChanged(bool following);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct Axis {
        int channel = 0;
        double min = 0;
        double max = 1;
        bool left = true;
        int slot = 0; // 0 next to the plot, 1 outside it
    };

    QRect PlotRect() const;
    int LineHeight() const;
    QString LegendText(int channel) const;
    std::vector<QPoint> Legend() const;
    std::array<Axis, ChannelCount> Axes(int& count) const;
    int Series(int channel) const { return raw_ ? RawSeries + channel - 1 : channel - 1; }
    void Rebuild();
    void ZoomTo(std::int64_t from, std::int64_t to);
    std::int64_t LatestTime() const;
    double XOf(std::int64_t ms, const QRect& plot) const;
    std::int64_t TimeAt(int x, const QRect& plot) const;
    void DrawTimeAxis(QPainter& p, const QRect& plot) const;
    void DrawValueAxis(QPainter& p, const QRect& plot, const Axis& axis) const;
    void DrawSeries(QPainter& p, const QRect& plot, const Axis& axis) const;
    void DrawLegend(QPainter& p) const;

    const History& history_;
    const ConfigBlock& block_;
    ColumnReducer reducer_;
    std::int64_t spanMs_ = 10 * 60 * 1000;
    bool following_ = true;
    bool raw_ = false;
    std::array<bool, ChannelCount> shown_{true, true, true, true};
    std::int64_t from_ = 0; // the view while paused
    std::int64_t to_ = 0;
    int builtWidth_ = -1; // plot width the columns were built for

    QRubberBand* band_ = nullptr;
    int bandOrigin_ = -1;
};

} // namespace quellix
