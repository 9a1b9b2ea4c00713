// The link with the unit as every host drives it: one DeviceLink on a block, its four timers (upload
// reply Timer1, auto read Timer2, staleness Timer3, download reply Timer4), the pause before each
// request, the status and version texts, and one port. Hosts call intents and follow signals and
// listeners; the timing is the window's wherever the driver runs.
//
// Holding (the window): the pause holds the thread, as designed; nothing else is handled meanwhile.
// Queued (every other host, many drivers in one thread): the pause holds this driver alone. The request
// is written by a precise timer when its pause is over, and whatever reaches the driver meanwhile
// (received batches, its timers, intents) and whatever the link does after the write (the reply timer,
// the texts, the listeners' events) waits and follows right after the write, in order: the driver sees
// what a held thread would see, while other drivers in the thread go on.
#pragma once

#include "ConfigBlock.h"
#include "DeviceLink.h"
#include "LinkHost.h"
#include "LinkListeners.h"
#include "Reading.h"

#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QTimer;

namespace quellix {

class LinkPort;

class LinkDriver : public QObject, private LinkHost {
    Q_OBJECT
public:
    enum class PauseMode { Holding, Queued };
    // Who handles the timers' events: the driver, or the host, which calls the timer intents below.
    enum class TimerEvents { ToDriver, ToHost };
    // The text an upload sends for a header (index 0), a tag or a units text (index 0..3), in the
    // block's 8-bit characters.
    using TextSource = std::function<std::string(ItemCode code, std::uint8_t index)>;

    struct Status {
        QString caption = QStringLiteral("----");
        StatusColour colour = StatusColour::Silver;
    };

    // Stores replies in `block`, which outlives the driver. The timers are children named Timer1 to
    // Timer4; none runs until asked.
    LinkDriver(ConfigBlock& block, PauseMode mode, TimerEvents timerEvents = TimerEvents::ToDriver,
               QObject* parent = nullptr);
    ~LinkDriver() override;

    // The port to talk through (it must outlive its use here, or be replaced first); none sends nothing.
    // Connect a PortSession's portChanged here to follow its selections.
    void setPort(LinkPort* port);
    // Where upload texts come from; by default the block's own, as the window's labels would hold them.
    void setTextSource(TextSource source);
    // Asked right before a request is written in Queued mode: while it says a stop is on its way (a stop
    // signal not yet handled), the request and what would follow its write are dropped.
    void setStopPending(std::function<bool()> pending) { stopPending_ = std::move(pending); }

    // Intents. A download or upload starts again from its first step when one runs.
    void startDownload();
    void startUpload();
    void readMeasurements();
    // Whether the auto read's ticks send requests; an upload holds them back while it runs.
    void setAutoRead(bool on);
    // Ends everything under way at once: the download and the upload (" Error ", Aborted), the auto
    // read, and a request still waiting for its pause, which is not written.
    void abort();

    // The auto read (every `intervalMs`) and the staleness timer, running from now on.
    void startReadoutTimers(int autoReadIntervalMs = AutoReadIntervalMs);

    // The timers' events, for a host that handles them (TimerEvents::ToHost).
    void uploadReplyTimeout();
    void autoReadTick();
    void stalenessTimeout();
    void downloadReplyTimeout();

    // Listeners hear the link's events in the order a held thread would.
    void addListener(LinkListener& listener);
    void removeListener(LinkListener& listener);

    Status status(LinkSequence sequence) const { return statuses_[index(sequence)]; }
    // The version text as shown, "Software version: " included; empty until the unit sent one.
    QString version() const { return version_; }

Q_SIGNALS:
    void statusChanged(quellix::LinkSequence sequence, const QString& caption, quellix::StatusColour colour);
    void versionChanged(const QString& caption);
    // The link stored something in the block.
    void blockChanged();
    void readingTaken(const quellix::Reading& reading);
    // No measurement reply for 5 seconds: every reading is now NoValue.
    void readingsStale();
    // A download or upload ended: Complete, Error (`step` unanswered after its resends) or Aborted.
    void sequenceEnded(quellix::LinkSequence sequence, quellix::StepOutcome outcome, int step);

private:
    class Relay;

    // LinkHost
    void pause(int ms) override;
    bool write(const std::uint8_t* data, std::uint16_t length) override;
    void setReplyTimer(LinkSequence sequence, bool enabled, int intervalMs) override;
    void restartStalenessTimer() override;
    void setStatus(LinkSequence sequence, const std::string& caption, StatusColour colour) override;
    void showVersion(const std::string& caption) override;
    std::string uploadText(ItemCode code, std::uint8_t index) override;
    void blockStored() override;

    static std::size_t index(LinkSequence sequence) { return sequence == LinkSequence::Download ? 0 : 1; }
    QTimer* makeTimer(const char* name, int intervalMs);
    void received(const QByteArray& batch);
    // Runs `step` now, or after the write of the request waiting for its pause.
    void run(std::function<void()> step);
    // True, keeping `step` for after the write, while a request waits for its pause.
    bool holds(std::function<void()> step);
    void writeDue();
    void replayHeld();
    void dropPendingWrite();

    ConfigBlock& block_;
    const PauseMode mode_;
    std::unique_ptr<Relay> relay_;
    DeviceLink link_;
    LinkListeners queuedListeners_; // Queued mode's listeners, told through the relay
    LinkPort* port_ = nullptr;
    TextSource textSource_;
    std::function<bool()> stopPending_;
    QTimer* uploadReply_;
    QTimer* autoRead_;
    QTimer* staleness_;
    QTimer* downloadReply_;
    QTimer* writeTimer_;
    bool autoReadOn_ = false;
    std::array<Status, 2> statuses_;
    QString version_;
    bool pausing_ = false; // a request waits for its pause (Queued)
    std::vector<std::uint8_t> pendingWrite_;
    std::deque<std::function<void()>> held_;
};

} // namespace quellix
