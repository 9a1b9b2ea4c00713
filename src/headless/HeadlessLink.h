// The device link without a window. What the window does for the link with its widgets (the blocking
// pause, the port, the reply and staleness timers, the status and version labels, the label texts an
// upload sends) is done here with QtCore and the block's own texts, so a tool without a window sends,
// waits and stores exactly as the window does. Each operation runs an event loop until it ends.
#pragma once

#include "ConfigBlock.h"
#include "DeviceLink.h"

#include <QObject>
#include <QString>

#include <functional>

class QEventLoop;
class QTimer;

namespace quellix {

class TComPort;

class HeadlessLink : public QObject, private LinkHost, private LinkListener {
    Q_OBJECT
public:
    enum class Result {
        Complete, // the sequence ended " Complete "; the version arrived
        NoAnswer, // a step stayed unanswered after its resends: " Error "
        Stopped,  // stop() was called; a running sequence was aborted
        PortGone, // portGone() was called; a running sequence was aborted
    };

    // Talks over `port` and stores replies in `block`, both of which outlive the link. Takes over the
    // port's OnReceiveString; the port may be opened and stopped by its owner meanwhile.
    HeadlessLink(TComPort& port, ConfigBlock& block, QObject* parent = nullptr);
    ~HeadlessLink() override;

    // The link itself, for listeners.
    DeviceLink& link() { return link_; }

    // "Read from unit" for the configuration, returning when it has ended.
    Result download();
    // "Send to unit": texts as the window's labels would hold them for this block, flags and
    // calibration from the block.
    Result upload();
    // The version request that opens a download, returning once the unit's version text is there
    // (`version`, Unicode) or the step has failed. The download goes no further: the request its
    // reply moves on to is held back, so no reply is left on its way when the port closes.
    Result requestVersion(QString& version);
    // Auto Read ticked, every `intervalMs`, with the staleness timer running as in the window; returns
    // once stop() or portGone() is called.
    Result autoRead(int intervalMs);

    // Ends the operation running now, or the next one at its start: for Ctrl-C and a time limit.
    void stop();
    // The port's device went away: the running operation ends with PortGone.
    void portGone();

    // Asked before each request is written: while it says a stop is on its way (a signal not yet told),
    // that request and every later one is held back, so that nothing reaches the unit after it.
    void setStopPending(std::function<bool()> pending) { stopPending_ = std::move(pending); }

    // The step left unanswered by the last NoAnswer.
    int failedStep() const { return failedStep_; }
    // True while requests are held back instead of written (see requestVersion and setStopPending).
    bool holding() const { return holding_; }

private:
    // LinkHost
    void Pause(int ms) override;
    bool WriteCommData(const std::uint8_t* data, std::uint16_t length) override;
    void SetReplyTimer(LinkTimer which, bool enabled, int intervalMs) override;
    void RestartStalenessTimer() override;
    void SetStatus(StatusLabel which, const std::string& caption, StatusColour colour) override;
    void ShowVersion(const std::string& caption) override;
    std::string LabelText(const std::string& objectName) override;
    void BlockToWindow() override {}

    // LinkListener
    void FrameDispatched(char letter, std::string_view frame) override;
    void SequenceStep(LinkSequence sequence, int step, StepOutcome outcome) override;

    Result run(const std::function<void()>& start);
    void finish(Result result);
    QTimer* makeTimer(bool singleShot);

    TComPort& port_;
    ConfigBlock& block_;
    DeviceLink link_;
    QTimer* timer1_; // upload reply
    QTimer* timer2_; // auto read
    QTimer* timer3_; // staleness
    QTimer* timer4_; // download reply
    QEventLoop* loop_ = nullptr;
    int runs_ = 0; // operations begun, so a late start finds it is not its own
    Result result_ = Result::Complete;
    bool stopRequested_ = false;
    bool wantVersion_ = false;
    bool holding_ = false;
    QString version_;
    int failedStep_ = 0;
    std::function<bool()> stopPending_;
};

} // namespace quellix
