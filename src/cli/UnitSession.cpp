#include "UnitSession.h"

#include "FrameLog.h"
#include "FrameWords.h"

#include <bitset>
#include <utility>

namespace quellix {

// Follows one operation for its messages: the progress line, and the request last sent, which the
// message names when the unit leaves it unanswered.
class UnitSession::Watcher : public LinkListener {
public:
    Watcher(CliOutput& output, const QString& verb, bool progress, const ConfigBlock& block)
        : output_(output), verb_(verb), progress_(progress && !verb.isEmpty()), block_(block) {}
    // Clears the progress line, before any message follows.
    void done() {
        if (std::exchange(shown_, false))
            output_.progress(QStringLiteral("\r\x1b[K"));
    }
    const QString& lastRequest() const { return lastRequest_; }
    int sends() const { return sends_; }
    // The requests of a whole download whose reply stored nothing: a unit that moved the download on
    // with 'T', or sent a reply too short to use.
    QStringList unanswered() const {
        QStringList requests;
        for (int step = 0; step < static_cast<int>(stored_.size()); ++step) {
            const FrameBytes request = DownloadRequest(step);
            if (!request.empty() && !stored_.test(static_cast<std::size_t>(step)))
                requests << FrameWords({reinterpret_cast<const char*>(request.data()), request.size()},
                                       LinkDirection::ToUnit, ChannelFlagBytes(block_.ChannelFlags));
        }
        return requests;
    }

    void FrameSent(std::string_view frame, int resend) override {
        lastRequest_ = FrameWords(frame, LinkDirection::ToUnit, ChannelFlagBytes(block_.ChannelFlags));
        sends_ = resend + 1;
    }
    void ReplyStored(int step) override { stored_.set(static_cast<std::size_t>(step)); }
    void SequenceStep(LinkSequence sequence, int step, StepOutcome outcome) override {
        if (!progress_ || outcome != StepOutcome::Requested)
            return;
        // Downloads count steps 2 to 14, uploads 1 to 13.
        const int n = sequence == LinkSequence::Download ? step - 1 : step;
        output_.progress(QStringLiteral("\r%1 %2/13").arg(verb_).arg(n));
        shown_ = true;
    }

private:
    CliOutput& output_;
    QString verb_;
    bool progress_;
    const ConfigBlock& block_;
    bool shown_ = false;
    QString lastRequest_;
    int sends_ = 0;
    std::bitset<16> stored_; // by download step
};

UnitSession::UnitSession(const PortName& port, CliOutput& output)
    : name_(port), output_(output), session_(port_) {
    connect(&signals_, &StopSignals::received, this, &UnitSession::received);
    connect(&session_, &PortSession::hungUp, this, [this] {
        if (current_)
            current_->portGone();
    });
}

UnitSession::~UnitSession() {
    session_.stop();
}

QString UnitSession::portLabel() const {
    return name_.name == name_.device ? name_.device
                                      : QStringLiteral("%1 (%2)").arg(name_.name, name_.device);
}

int UnitSession::open() {
    SetUnitLineSettings(port_);
    if (session_.openDevice(name_.device)) {
        output_.detail(QStringLiteral("opened %1").arg(portLabel()));
        return ExitDone;
    }
    return output_.fail(ExitPortNotOpened,
                        QStringLiteral("Error opening com port %1: %2").arg(name_.name, session_.problem()));
}

int UnitSession::download(ConfigBlock& block, const QString& verb) {
    return run(
        block, [](HeadlessLink& link) { return link.download(); }, verb, true);
}

int UnitSession::upload(const ConfigBlock& block) {
    ConfigBlock sent = block;
    return run(
        sent, [](HeadlessLink& link) { return link.upload(); }, QStringLiteral("Writing"));
}

int UnitSession::version(QString& text) {
    ConfigBlock scratch = DefaultBlock();
    return run(scratch, [&text](HeadlessLink& link) { return link.requestVersion(text); }, {});
}

int UnitSession::autoRead(ConfigBlock& block, int intervalMs, LinkListener& readings) {
    return run(block,
               [&readings, intervalMs](HeadlessLink& link) {
                   link.link().AddListener(readings);
                   const HeadlessLink::Result result = link.autoRead(intervalMs);
                   link.link().RemoveListener(readings);
                   return result;
               },
               {});
}

int UnitSession::run(ConfigBlock& block, const std::function<HeadlessLink::Result(HeadlessLink&)>& operation,
                     const QString& verb, bool wholeConfiguration) {
    if (stopped_)
        return 128 + signal_;
    HeadlessLink link(port_, block);
    link.setStopPending([this] { return stopped_ || signals_.Pending(); });
    FrameLog frames(output_.errorStream(), link, block);
    if (output_.verbosity() == Verbosity::Verbose)
        link.link().AddListener(frames);
    Watcher watcher(output_, verb, output_.showsProgress(), block);
    link.link().AddListener(watcher);
    current_ = &link;
    const HeadlessLink::Result result = operation(link);
    current_ = nullptr;
    link.link().RemoveListener(watcher);
    link.link().RemoveListener(frames);
    watcher.done();
    switch (result) {
    case HeadlessLink::Result::Complete:
        if (const QStringList missing = watcher.unanswered(); wholeConfiguration && !missing.isEmpty())
            return output_.fail(ExitNoAnswer, QStringLiteral("%1: no usable reply came to the %2")
                                                  .arg(portLabel(), missing.join(QStringLiteral("; "))));
        return ExitDone;
    case HeadlessLink::Result::NoAnswer:
        return output_.fail(ExitNoAnswer, QStringLiteral("%1: the unit did not answer the %2, sent %3 times")
                                              .arg(portLabel(), watcher.lastRequest())
                                              .arg(watcher.sends()));
    case HeadlessLink::Result::PortGone:
        return output_.fail(ExitPortNotOpened, QStringLiteral("%1: the device went away").arg(portLabel()));
    case HeadlessLink::Result::Stopped:
        break;
    }
    // A stop() without a signal (a count reached) is a normal end.
    return signal_ == 0 ? ExitDone : 128 + signal_;
}

void UnitSession::stop() {
    stopped_ = true;
    if (current_)
        current_->stop();
}

void UnitSession::received(int signalNumber) {
    if (signal_ == 0)
        signal_ = signalNumber;
    stop();
}

} // namespace quellix
