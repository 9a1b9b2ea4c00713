// The "Trend" window: the chart of the history beside a table that gives, per channel, the last value,
// minimum, maximum, mean and number of readings in the stretch of time shown. Spans from a minute to a
// day, following the latest reading or paused; raw or displayed values; the chart saved as a PNG
// image and the readings shown exported as CSV. Not modal: the main window stays in use.
#pragma once

#include "ConfigBlock.h"
#include "History.h"

#include <QWidget>
#include <cstdint>

class QCheckBox;
class QComboBox;
class QTableWidget;

namespace quellix {

class TTrendChart;
class TUserDialogs;

class TTrendWindow : public QWidget {
    Q_OBJECT
public:
    TTrendWindow(const History& history, const ConfigBlock& block, TUserDialogs& dialogs,
                 QWidget* parent = nullptr);

    // The history got its newest entry.
    void HistoryAdded();
    // The spans offered, in ms.
    static const std::int64_t Spans[5];

    TTrendChart* Chart() const { return chart_; }
    // Writes the chart as a PNG file, replacing it atomically. False when it cannot be written.
    bool SaveImage(const QString& path);
    // Writes the readings of the view as CSV, with the recorder's header and lines.
    bool Export(const QString& path);

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void SaveImageClick();
    void ExportClick();
    void ShowStats();
    QString DialogDir() const;

    const History& history_;
    const ConfigBlock& block_;
    TUserDialogs& dialogs_;
    TTrendChart* chart_ = nullptr;
    QComboBox* span_ = nullptr;
    QCheckBox* follow_ = nullptr;
    QCheckBox* raw_ = nullptr;
    QTableWidget* stats_ = nullptr;
    QString lastDir_;
};

} // namespace quellix
