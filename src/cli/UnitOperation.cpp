#include "UnitOperation.h"

#include "Charset.h"
#include "CliOutput.h"
#include "FrameWords.h"

#include <QTimer>

#include <utility>

namespace quellix {

// Follows the operation for its steps and its messages: the request last sent, which the message names
// when the unit leaves it unanswered, and the items a download stored.
class UnitOperation::Watcher : public LinkListener {
public:
    Watcher(UnitOperation& operation, const ConfigBlock& block) : operation_(operation), block_(block) {}

    const QString& lastRequest() const { return lastRequest_; }
    int sends() const { return sends_; }
    // The requests of a whole download whose reply stored nothing: a unit that moved the download on
    // with 'T', or sent a reply too short to use.
    QStringList unanswered() const {
        QStringList requests;
        for (int step = 0; step < static_cast<int>(stored_.size()); ++step) {
            const FrameBytes request = downloadRequest(step);
            if (!request.empty() && !stored_.test(static_cast<std::size_t>(step)))
                requests << words({reinterpret_cast<const char*>(request.data()), request.size()});
        }
        return requests;
    }

    void FrameSent(std::string_view frame, int resend) override {
        lastRequest_ = words(frame);
        sends_ = resend + 1;
    }
    // Taken from the reply as it comes, before the link moves the download on. For the version alone,
    // the operation then ends, and the request the reply moved on to is dropped in its pause.
    void FrameDispatched(char letter, std::string_view frame) override {
        if (letter != Letter::Version)
            return;
        const std::string_view payload = FrameView(frame).payload();
        operation_.version_ = FromWin1252(BytesToText(payload, static_cast<int>(payload.size())));
        // Not from inside the link's event.
        if (operation_.versionOnly_)
            QTimer::singleShot(0, &operation_,
                               [operation = &operation_] { operation->finish(Result::Complete); });
    }
    void ReplyStored(int step) override { stored_.set(static_cast<std::size_t>(step)); }
    void SequenceStep(LinkSequence sequence, int step, StepOutcome outcome) override {
        if (outcome != StepOutcome::Requested || !operation_.stepHandler_)
            return;
        // Downloads count steps 2 to 14, uploads 1 to 13.
        operation_.stepHandler_(sequence == LinkSequence::Download ? step - 1 : step);
    }

private:
    QString words(std::string_view request) const {
        return FrameWords(request, LinkDirection::ToUnit, ChannelFlagBytes(block_.ChannelFlags));
    }

    UnitOperation& operation_;
    const ConfigBlock& block_;
    QString lastRequest_;
    int sends_ = 0;
    std::bitset<16> stored_; // by download step
};

UnitOperation::UnitOperation(ConfigBlock& block, LinkPort* port, std::function<bool()> stopPending)
    : driver_(block, LinkDriver::PauseMode::Queued), watcher_(std::make_unique<Watcher>(*this, block)) {
    driver_.setPort(port);
    driver_.setStopPending(std::move(stopPending));
    driver_.addListener(*watcher_);
    connect(&driver_, &LinkDriver::sequenceEnded, this, [this](LinkSequence, StepOutcome outcome, int) {
        if (outcome == StepOutcome::Complete)
            finish(Result::Complete);
        else if (outcome == StepOutcome::Error)
            finish(Result::NoAnswer);
    });
}

UnitOperation::~UnitOperation() {
    driver_.abort();
}

void UnitOperation::startDownload() {
    wholeConfiguration_ = true;
    begin([](LinkDriver& driver) { driver.startDownload(); });
}

void UnitOperation::startUpload() {
    begin([](LinkDriver& driver) { driver.startUpload(); });
}

void UnitOperation::startVersion() {
    versionOnly_ = true;
    begin([](LinkDriver& driver) { driver.startDownload(); });
}

void UnitOperation::startAutoRead(int intervalMs) {
    begin([intervalMs](LinkDriver& driver) {
        driver.setAutoRead(true);
        driver.startReadoutTimers(intervalMs);
    });
}

void UnitOperation::begin(std::function<void(LinkDriver&)> start) {
    QTimer::singleShot(0, this, [this, start = std::move(start)] {
        if (!ended_)
            start(driver_);
    });
}

void UnitOperation::finish(Result result) {
    if (ended_)
        return;
    ended_ = true;
    result_ = result;
    driver_.abort();
    // Nothing more from the port, which may go before this operation does.
    driver_.setPort(nullptr);
    if (endHandler_)
        QTimer::singleShot(0, this, [this] { endHandler_(result_); });
}

int UnitOperation::status(const QString& portLabel, QString& message) const {
    switch (result_) {
    case Result::Complete:
        if (const QStringList missing = watcher_->unanswered(); wholeConfiguration_ && !missing.isEmpty()) {
            message = QStringLiteral("%1: no usable reply came to the %2")
                          .arg(portLabel, missing.join(QStringLiteral("; ")));
            return ExitNoAnswer;
        }
        return ExitDone;
    case Result::NoAnswer:
        message = QStringLiteral("%1: the unit did not answer the %2, sent %3 times")
                      .arg(portLabel, watcher_->lastRequest())
                      .arg(watcher_->sends());
        return ExitNoAnswer;
    case Result::PortGone:
        message = QStringLiteral("%1: the device went away").arg(portLabel);
        return ExitPortNotOpened;
    case Result::Stopped:
        break;
    }
    return ExitDone;
}

} // namespace quellix
