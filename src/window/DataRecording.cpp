#include "DataRecording.h"

#include "ReadingFormat.h"
#include "TrendWindow.h"
#include "UserDialogs.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>

#include <algorithm>

namespace quellix {

namespace {
constexpr int StatusMinNamePx = 60;
constexpr int StatusMarginsPx = 16; // the label's own and the status bar's
} // namespace

TDataRecording::TDataRecording(QMainWindow* window, QMenu* menu, const ConfigBlock& block,
                               TUserDialogs& dialogs)
    : QObject(window), window_(window), block_(block), dialogs_(dialogs) {
    setObjectName(QStringLiteral("DataRecording"));
    menu->addSeparator();
    record_ = menu->addAction(QStringLiteral("Record\u2026"));
    record_->setObjectName(QStringLiteral("Record1"));
    stop_ = menu->addAction(QStringLiteral("Stop Recording"));
    stop_->setObjectName(QStringLiteral("StopRecording1"));
    menu->addSeparator();
    QAction* trend = menu->addAction(QStringLiteral("Trend\u2026"));
    trend->setObjectName(QStringLiteral("Trend1"));
    connect(record_, &QAction::triggered, this, [this] { RecordClick(); });
    connect(stop_, &QAction::triggered, this, [this] { StopRecording(); });
    connect(trend, &QAction::triggered, this, [this] { ShowTrend(); });

    status_ = new QLabel(window);
    status_->setObjectName(QStringLiteral("RecordingStatus"));
    status_->setTextFormat(Qt::PlainText);
    status_->setContentsMargins(4, 0, 4, 0);
    window->statusBar()->addPermanentWidget(status_);
    ShowRecordingState();
}

TDataRecording::~TDataRecording() {
    delete trend_.data();
}

void TDataRecording::ReadingsTaken(ChannelValues raw, ChannelValues displayed, ChannelFlagBytes flags) {
    Reading reading;
    reading.msecsSinceEpoch = QDateTime::currentMSecsSinceEpoch();
    std::copy(raw.begin(), raw.end(), reading.raw.begin());
    std::copy(displayed.begin(), displayed.end(), reading.shown.begin());
    std::copy(flags.begin(), flags.end(), reading.flags.begin());
    TakeReading(reading);
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
    trend_->show();
    trend_->raise();
    trend_->activateWindow();
}

void TDataRecording::ShowRecordingState() {
    const bool running = recorder_.Running();
    record_->setEnabled(!running);
    stop_->setEnabled(running);
    status_->setVisible(running);
    if (!running)
        return;
    // The designed window is narrow and shares its status bar with the port: a long file name gives way
    // in its middle, and the count of lines always shows.
    const QString tail = QStringLiteral(" \u2014 %1 lines").arg(recorder_.Lines());
    const QFontMetrics metrics(status_->font());
    const int room =
        std::max(StatusMinNamePx, window_->width() / 2 - StatusMarginsPx -
                                      metrics.horizontalAdvance(QStringLiteral("Recording ") + tail));
    const QString name = metrics.elidedText(QFileInfo(recorder_.Path()).fileName(), Qt::ElideMiddle, room);
    status_->setText(QStringLiteral("Recording ") + name + tail);
    status_->setMinimumWidth(status_->sizeHint().width());
    status_->setToolTip(recorder_.Path());
}

} // namespace quellix
