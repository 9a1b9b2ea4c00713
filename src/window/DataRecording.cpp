#include "DataRecording.h"

#include "Controls.h"
#include "ReadingFormat.h"
#include "ToolWindows.h"
#include "TrendWindow.h"
#include "UserDialogs.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>

namespace quellix {

TDataRecording::TDataRecording(QMainWindow* window, QMenu* menu, const ConfigBlock& block,
                               TUserDialogs& dialogs)
    : QObject(window), window_(window), block_(block), dialogs_(dialogs) {
    setObjectName(QStringLiteral("DataRecording"));
    menu->addSeparator();
    record_ = menu->addAction(QStringLiteral("&Record\u2026"));
    record_->setObjectName(QStringLiteral("Record1"));
    stop_ = menu->addAction(QStringLiteral("&Stop Recording"));
    stop_->setObjectName(QStringLiteral("StopRecording1"));
    menu->addSeparator();
    QAction* trend = menu->addAction(QStringLiteral("&Trend\u2026"));
    trend->setObjectName(QStringLiteral("Trend1"));
    trend->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    connect(record_, &QAction::triggered, this, [this] { RecordClick(); });
    connect(stop_, &QAction::triggered, this, [this] { StopRecording(); });
    connect(trend, &QAction::triggered, this, [this] { ShowTrend(); });

    status_ = new TElidedLabel(window);
    status_->setObjectName(QStringLiteral("RecordingStatus"));
    status_->setContentsMargins(4, 0, 4, 0);
    window->statusBar()->addPermanentWidget(status_);
    ShowRecordingState();
}

TDataRecording::~TDataRecording() {
    delete trend_.data();
}

void TDataRecording::ReadingsTaken(ChannelValues raw, ChannelValues displayed, ChannelFlagBytes flags) {
    TakeReading(Reading::fromSpans(raw, displayed, flags, QDateTime::currentMSecsSinceEpoch()));
}

void TDataRecording::TakeReading(const Reading& reading) {
    history_.Add(reading);
    if (recorder_.Running()) {
        if (recorder_.Append(reading))
            ShowRecordingState();
        else
            RecordingFailed();
    }
    if (trend_)
        trend_->HistoryAdded();
}

void TDataRecording::ReadingsStale() {
    const std::size_t before = history_.Size();
    history_.AddStale(QDateTime::currentMSecsSinceEpoch());
    if (trend_ && history_.Size() != before)
        trend_->HistoryAdded();
}

// A recording of other columns cannot take this one's lines: the dialog comes again for a new file.
void TDataRecording::RecordClick() {
    for (;;) {
        const QString dir = lastDir_.isEmpty() ? QDir::currentPath() : lastDir_;
        const auto path =
            dialogs_.SaveFileName(window_, {dir, QStringLiteral("CSV files (*.csv)"), QStringLiteral("csv")});
        if (!path)
            return;
        lastDir_ = QFileInfo(*path).absolutePath();
        if (StartRecording(*path) || !recorder_.OtherChannels())
            return;
    }
}

bool TDataRecording::StartRecording(const QString& path) {
    const bool started = recorder_.Start(path, CsvHeader(ChannelNames::FromBlock(block_)));
    ShowRecordingState();
    if (!started)
        dialogs_.ShowMessage(window_, recorder_.Error(),
                             recorder_.OtherChannels()
                                 ? QStringLiteral("Its lines would come under the wrong column names. Choose "
                                                  "a new file for this recording.")
                                 : QString());
    return started;
}

void TDataRecording::StopRecording() {
    recorder_.Stop();
    ShowRecordingState();
}

// The recorder stopped itself; the message comes after the state shows it, so that the status bar
// already tells the truth while the box is up.
void TDataRecording::RecordingFailed() {
    ShowRecordingState();
    dialogs_.ShowMessage(window_, recorder_.Error(), QString());
}

void TDataRecording::Shutdown() {
    StopRecording();
    if (trend_)
        trend_->close();
}

void TDataRecording::ShowTrend() {
    if (!trend_)
        trend_ = new TTrendWindow(history_, block_, dialogs_, window_);
    ShowToolWindow(trend_, window_);
}

void TDataRecording::ShowRecordingState() {
    const bool running = recorder_.Running();
    record_->setEnabled(!running);
    stop_->setEnabled(running);
    status_->setVisible(running);
    if (!running)
        return;
    // It takes the room it needs, at most three fifths of the bar, which it shares with the port's state
    // and device; a long file name gives way in its middle, and the count of lines always shows.
    const QString name = QFileInfo(recorder_.Path()).fileName();
    status_->setMaximumWidth(window_->width() * 3 / 5);
    status_->SetText(QStringLiteral("Recording %1 \u2014 %2 lines").arg(name).arg(recorder_.Lines()), name);
    status_->setToolTip(recorder_.Path());
}

} // namespace quellix
