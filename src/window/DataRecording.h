// The "Data" menu's recording and trend: keeps the history of the readings from the first reply on,
// records them to a CSV file while a recording runs (its state in the status bar), and opens the trend
// window. It listens to the link's readings; the window, its timers and the link stay as they are.
#pragma once

#include "ConfigBlock.h"
#include "History.h"
#include "LinkListener.h"
#include "Reading.h"
#include "Recorder.h"
#include "TrendWindow.h"

#include <QObject>
#include <QPointer>

class QAction;
class QMainWindow;
class QMenu;

namespace quellix {

class TElidedLabel;
class TUserDialogs;

class TDataRecording : public QObject, public LinkListener {
    Q_OBJECT
public:
    // Adds "Record…", "Stop Recording" and "Trend…" to `menu` and the recording's label to the window's
    // status bar. `block` gives the tags, units and channel flags; `dialogs` the file dialogs and
    // messages.
    TDataRecording(QMainWindow* window, QMenu* menu, const ConfigBlock& block, TUserDialogs& dialogs);
    ~TDataRecording() override;

    // The link's readings: each measurement reply, and their going stale.
    void ReadingsTaken(ChannelValues raw, ChannelValues displayed, ChannelFlagBytes flags) override;
    void ReadingsStale() override;

    // Starts recording to `path` (as "Record…" does once a file is chosen); a failure is shown.
    bool StartRecording(const QString& path);
    void StopRecording();
    // The window closes: the recording stops and the trend window closes.
    void Shutdown();

    const History& Readings() const { return history_; }
    const Recorder& FileRecorder() const { return recorder_; }
    TTrendWindow* Trend() const { return trend_; }
    void ShowTrend();

private:
    void TakeReading(const Reading& reading);
    void RecordClick();
    void ShowRecordingState();
    void RecordingFailed();

    QMainWindow* window_;
    const ConfigBlock& block_;
    TUserDialogs& dialogs_;
    History history_;
    Recorder recorder_;
    QAction* record_ = nullptr;
    QAction* stop_ = nullptr;
    TElidedLabel* status_ = nullptr;
    QPointer<TTrendWindow> trend_;
    QString lastDir_;
};

} // namespace quellix
