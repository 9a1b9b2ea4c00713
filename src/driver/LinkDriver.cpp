#include "LinkDriver.h"

#include "Charset.h"
#include "DriverLog.h"
#include "LinkPort.h"

#include <QDateTime>
#include <QThread>
#include <QTimer>

#include <utility>

namespace quellix {

namespace {

// The block's own text of an upload item, turned into what a label would show and back into bytes as
// the window does: the same text, byte for byte, that "Send to unit" takes from the window's labels.
std::string blockText(const ConfigBlock& block, ItemCode code, std::uint8_t index) {
    std::string_view field;
    if (code == ItemCode::Header1)
        field = block.Header1.text();
    else if (code == ItemCode::Header2)
        field = block.Header2.text();
    else if (code == ItemCode::TagName && index < ChannelCount)
        field = block.TagName[index].text();
    else if (code == ItemCode::UnitName && index < ChannelCount)
        field = block.UnitName[index].text();
    return ToWin1252(FromWin1252(field));
}

} // namespace

// The driver's own listener on the link, first of all: it tells the driver's signals and, in Queued
// mode, the driver's listeners. An event the link tells after a request that waits for its pause is
// copied and told after the write.
class LinkDriver::Relay : public LinkListener {
public:
    explicit Relay(LinkDriver& driver) : driver_(driver) {}

    void FrameSent(std::string_view frame, int resend) override {
        if (held())
            return hold([this, f = std::string(frame), resend] { FrameSent(f, resend); });
        tell([&](LinkListener& l) { l.FrameSent(frame, resend); });
    }
    void BatchReceived(std::string_view batch) override {
        if (held())
            return hold([this, b = std::string(batch)] { BatchReceived(b); });
        tell([&](LinkListener& l) { l.BatchReceived(batch); });
    }
    void FrameDispatched(char letter, std::string_view frame) override {
        if (held())
            return hold([this, letter, f = std::string(frame)] { FrameDispatched(letter, f); });
        tell([&](LinkListener& l) { l.FrameDispatched(letter, frame); });
    }
    void LateReply(LinkSequence sequence, std::string_view frame) override {
        if (held())
            return hold([this, sequence, f = std::string(frame)] { LateReply(sequence, f); });
        tell([&](LinkListener& l) { l.LateReply(sequence, frame); });
    }
    void ReplyStored(int step) override {
        if (held())
            return hold([this, step] { ReplyStored(step); });
        tell([&](LinkListener& l) { l.ReplyStored(step); });
    }
    void Dropped(DropReason reason, std::string_view bytes) override {
        if (held())
            return hold([this, reason, b = std::string(bytes)] { Dropped(reason, b); });
        tell([&](LinkListener& l) { l.Dropped(reason, bytes); });
    }
    // A held reading keeps its values, and is stamped when it is told.
    void ReadingsTaken(ChannelValues raw, ChannelValues displayed, ChannelFlagBytes flags) override {
        const Reading reading =
            Reading::fromSpans(raw, displayed, flags, QDateTime::currentMSecsSinceEpoch());
        if (held())
            return hold([this, reading] { ReadingsTaken(reading.raw, reading.shown, reading.flags); });
        tell([&](LinkListener& l) { l.ReadingsTaken(raw, displayed, flags); });
        Q_EMIT driver_.readingTaken(reading);
    }
    void ReadingsStale() override {
        if (held())
            return hold([this] { ReadingsStale(); });
        tell([](LinkListener& l) { l.ReadingsStale(); });
        Q_EMIT driver_.readingsStale();
    }
    void SequenceStep(LinkSequence sequence, int step, StepOutcome outcome) override {
        if (held())
            return hold([=, this] { SequenceStep(sequence, step, outcome); });
        tell([&](LinkListener& l) { l.SequenceStep(sequence, step, outcome); });
        if (outcome != StepOutcome::Requested)
            Q_EMIT driver_.sequenceEnded(sequence, outcome, step);
    }

private:
    bool held() const { return driver_.pausing_; }
    void hold(std::function<void()> event) { driver_.held_.push_back(std::move(event)); }
    template <class Event> void tell(const Event& event) { driver_.queuedListeners_.notify(event); }

    LinkDriver& driver_;
};

LinkDriver::LinkDriver(ConfigBlock& block, PauseMode mode, TimerEvents timerEvents, QObject* parent)
    : QObject(parent), block_(block), mode_(mode), relay_(std::make_unique<Relay>(*this)),
      link_(block, *this), uploadReply_(makeTimer("Timer1", ReplyTimeoutMs)),
      autoRead_(makeTimer("Timer2", AutoReadIntervalMs)),
      staleness_(makeTimer("Timer3", StalenessIntervalMs)),
      downloadReply_(makeTimer("Timer4", ReplyTimeoutMs)),
      writeTimer_(makeTimer("WriteTimer", PauseBeforeSendMs)) {
    writeTimer_->setSingleShot(true);
    connect(writeTimer_, &QTimer::timeout, this, &LinkDriver::writeDue);
    if (timerEvents == TimerEvents::ToDriver) {
        connect(uploadReply_, &QTimer::timeout, this, &LinkDriver::uploadReplyTimeout);
        connect(autoRead_, &QTimer::timeout, this, &LinkDriver::autoReadTick);
        connect(staleness_, &QTimer::timeout, this, &LinkDriver::stalenessTimeout);
        connect(downloadReply_, &QTimer::timeout, this, &LinkDriver::downloadReplyTimeout);
    }
    textSource_ = [this](ItemCode code, std::uint8_t index) { return blockText(block_, code, index); };
    link_.addListener(*relay_);
}

LinkDriver::~LinkDriver() {
    setPort(nullptr);
    link_.removeListener(*relay_);
}

// Precise: Qt's default timer may fire 5 % early or late, which would resend, give up and mark the
// readings stale before their designed times.
QTimer* LinkDriver::makeTimer(const char* name, int intervalMs) {
    auto* timer = new QTimer(this);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(intervalMs);
    return timer;
}

void LinkDriver::setPort(LinkPort* port) {
    if (port_)
        port_->disconnect(this);
    port_ = port;
    if (port_)
        connect(port_, &LinkPort::received, this, &LinkDriver::received);
}

void LinkDriver::addListener(LinkListener& listener) {
    if (mode_ == PauseMode::Holding)
        link_.addListener(listener);
    else
        queuedListeners_.add(listener);
}

void LinkDriver::removeListener(LinkListener& listener) {
    if (mode_ == PauseMode::Holding)
        link_.removeListener(listener);
    else
        queuedListeners_.remove(listener);
}

void LinkDriver::setTextSource(TextSource source) {
    textSource_ = std::move(source);
}

void LinkDriver::received(const QByteArray& batch) {
    run([this, batch] { link_.receive({batch.constData(), static_cast<std::size_t>(batch.size())}); });
}

void LinkDriver::startDownload() {
    run([this] { link_.startDownload(); });
}

void LinkDriver::startUpload() {
    run([this] { link_.startUpload(); });
}

void LinkDriver::readMeasurements() {
    run([this] { link_.readMeasurements(); });
}

void LinkDriver::setAutoRead(bool on) {
    run([this, on] { autoReadOn_ = on; });
}

void LinkDriver::abort() {
    autoReadOn_ = false;
    dropPendingWrite();
    link_.abortSequences();
}

void LinkDriver::startReadoutTimers(int autoReadIntervalMs) {
    autoRead_->start(autoReadIntervalMs);
    staleness_->start(StalenessIntervalMs);
}

void LinkDriver::uploadReplyTimeout() {
    run([this] { link_.uploadTimeout(); });
}

void LinkDriver::autoReadTick() {
    run([this] { link_.autoReadTick(autoReadOn_); });
}

void LinkDriver::stalenessTimeout() {
    run([this] { link_.stalenessTimeout(); });
}

void LinkDriver::downloadReplyTimeout() {
    run([this] { link_.downloadTimeout(); });
}

void LinkDriver::run(std::function<void()> step) {
    if (!holds(step))
        step();
}

bool LinkDriver::holds(std::function<void()> step) {
    if (!pausing_)
        return false;
    held_.push_back(std::move(step));
    return true;
}

void LinkDriver::pause(int ms) {
    if (mode_ == PauseMode::Holding) {
        // A blocking sleep, as designed: no click, timer or received batch is handled meanwhile.
        QThread::msleep(static_cast<unsigned long>(ms));
        return;
    }
    pausing_ = true;
    pendingWrite_.clear();
    writeTimer_->start(ms);
}

bool LinkDriver::write(const std::uint8_t* data, std::uint16_t length) {
    if (pausing_ && pendingWrite_.empty() && length > 0) {
        pendingWrite_.assign(data, data + length);
        return true;
    }
    return port_ && port_->write(reinterpret_cast<const char*>(data), length);
}

// The pause is over: the request goes out, then what waited for it, in order.
void LinkDriver::writeDue() {
    if (stopPending_ && stopPending_()) {
        qCDebug(lcDriver) << "request dropped: a stop is on its way";
        dropPendingWrite();
        return;
    }
    const std::vector<std::uint8_t> bytes = std::exchange(pendingWrite_, {});
    pausing_ = false;
    if (port_)
        port_->write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::uint16_t>(bytes.size()));
    replayHeld();
}

// What a held step holds in its turn comes before the steps after it: on a held thread it would have
// happened within that step.
void LinkDriver::replayHeld() {
    while (!pausing_ && !held_.empty()) {
        const std::function<void()> next = std::move(held_.front());
        held_.pop_front();
        std::deque<std::function<void()>> later = std::exchange(held_, {});
        next();
        for (auto& step : later)
            held_.push_back(std::move(step));
    }
}

void LinkDriver::dropPendingWrite() {
    writeTimer_->stop();
    pendingWrite_.clear();
    pausing_ = false;
    held_.clear();
}

void LinkDriver::setReplyTimer(LinkSequence sequence, bool enabled, int intervalMs) {
    if (holds([=, this] { setReplyTimer(sequence, enabled, intervalMs); }))
        return;
    QTimer* timer = sequence == LinkSequence::Upload ? uploadReply_ : downloadReply_;
    timer->stop();
    timer->setInterval(intervalMs);
    if (enabled)
        timer->start();
}

void LinkDriver::restartStalenessTimer() {
    if (holds([this] { restartStalenessTimer(); }))
        return;
    staleness_->stop();
    staleness_->setInterval(StalenessIntervalMs);
    staleness_->start();
}

void LinkDriver::setStatus(LinkSequence sequence, const std::string& caption, StatusColour colour) {
    if (holds([=, this] { setStatus(sequence, caption, colour); }))
        return;
    Status& status = statuses_[index(sequence)];
    status = {FromWin1252(caption), colour};
    Q_EMIT statusChanged(sequence, status.caption, colour);
}

void LinkDriver::showVersion(const std::string& caption) {
    if (holds([=, this] { showVersion(caption); }))
        return;
    version_ = FromWin1252(caption);
    Q_EMIT versionChanged(version_);
}

std::string LinkDriver::uploadText(ItemCode code, std::uint8_t index) {
    return textSource_(code, index);
}

void LinkDriver::blockStored() {
    if (holds([this] { blockStored(); }))
        return;
    Q_EMIT blockChanged();
}

} // namespace quellix
