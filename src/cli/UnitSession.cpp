#include "UnitSession.h"

#include "Charset.h"
#include "FrameLog.h"
#include "FrameWords.h"

#include <QEventLoop>
#include <QTimer>

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
    QString words(std::string_view request) const {
        return FrameWords(request, LinkDirection::ToUnit, ChannelFlagBytes(block_.ChannelFlags));
    }

    CliOutput& output_;
    QString verb_;
    bool progress_;
    const ConfigBlock& block_;
    bool shown_ = false;
    QString lastRequest_;
    int sends_ = 0;
    std::bitset<16> stored_; // by download step
};

// Takes the version text from the reply as it comes, before the link moves the download on; the
// operation then ends, and the request the reply moved on to is dropped in its pause.
class UnitSession::VersionCatcher : public LinkListener {
public:
    VersionCatcher(UnitSession& session, QString& version) : session_(session), version_(version) {}
    void FrameDispatched(char letter, std::string_view frame) override {
        if (letter != Letter::Version)
            return;
        const std::string_view payload = FrameView(frame).payload();
        version_ = FromWin1252(BytesToText(payload, static_cast<int>(payload.size())));
        // Not from inside the link's event; not at all once the operation has ended otherwise.
        if (session_.loop_)
            QTimer::singleShot(0, session_.loop_,
                               [session = &session_] { session->finish(Result::Complete); });
    }

private:
    UnitSession& session_;
    QString& version_;
};

UnitSession::UnitSession(const PortName& port, CliOutput& output) : name_(port), output_(output) {
    connect(&signals_, &StopSignals::received, this, &UnitSession::received);
    connect(&session_, &PortSession::hungUp, this, &UnitSession::portHungUp);
    connect(&session_, &PortSession::reopened, this, &UnitSession::portReopened);
}

UnitSession::~UnitSession() {
    session_.stop();
}

QString UnitSession::portLabel() const {
    return name_.name == name_.device ? name_.device
                                      : QStringLiteral("%1 (%2)").arg(name_.name, name_.device);
}

int UnitSession::open() {
    if (session_.openDevice(name_.device)) {
        output_.detail(QStringLiteral("opened %1").arg(portLabel()));
        for (const QString& warning : session_.port()->warnings())
            output_.detail(QStringLiteral("warning: %1").arg(warning));
        return ExitDone;
    }
    return output_.fail(ExitPortNotOpened,
                        QStringLiteral("Error opening com port %1: %2").arg(name_.name, session_.problem()));
}

int UnitSession::download(ConfigBlock& block, const QString& verb) {
    return run(
        block, [](LinkDriver& driver) { driver.startDownload(); }, verb, true);
}

int UnitSession::upload(const ConfigBlock& block) {
    ConfigBlock sent = block;
    return run(
        sent, [](LinkDriver& driver) { driver.startUpload(); }, QStringLiteral("Writing"));
}

int UnitSession::version(QString& text) {
    ConfigBlock scratch = DefaultBlock();
    VersionCatcher catcher(*this, text);
    return run(
        scratch, [](LinkDriver& driver) { driver.startDownload(); }, {}, false, &catcher);
}

int UnitSession::autoRead(ConfigBlock& block, int intervalMs, LinkListener& readings) {
    followReturn_ = true;
    const int status = run(
        block,
        [intervalMs](LinkDriver& driver) {
            driver.setAutoRead(true);
            driver.startReadoutTimers(intervalMs);
        },
        {}, false, &readings);
    followReturn_ = false;
    return status;
}

int UnitSession::run(ConfigBlock& block, const std::function<void(LinkDriver&)>& start, const QString& verb,
                     bool wholeConfiguration, LinkListener* extra) {
    if (stopped_)
        return 128 + signal_;
    LinkDriver driver(block, LinkDriver::PauseMode::Queued);
    driver.setPort(session_.port());
    driver.setStopPending([this] { return stopped_ || signals_.Pending(); });
    connect(&driver, &LinkDriver::sequenceEnded, this,
            [this](LinkSequence, StepOutcome outcome) { sequenceEnded(outcome); });
    FrameLog frames(output_.errorStream(), block);
    if (output_.verbosity() == Verbosity::Verbose)
        driver.addListener(frames);
    Watcher watcher(output_, verb, output_.showsProgress(), block);
    driver.addListener(watcher);
    if (extra)
        driver.addListener(*extra);

    QEventLoop loop;
    loop_ = &loop;
    current_ = &driver;
    result_ = Result::Complete;
    // Started from the loop, so that a reply or a stop it causes finds the loop running.
    QTimer::singleShot(0, &loop, [this, &driver, &start] {
        if (loop_)
            start(driver);
    });
    loop.exec();
    current_ = nullptr;
    watcher.done();
    switch (result_) {
    case Result::Complete:
        if (const QStringList missing = watcher.unanswered(); wholeConfiguration && !missing.isEmpty())
            return output_.fail(ExitNoAnswer, QStringLiteral("%1: no usable reply came to the %2")
                                                  .arg(portLabel(), missing.join(QStringLiteral("; "))));
        return ExitDone;
    case Result::NoAnswer:
        return output_.fail(ExitNoAnswer, QStringLiteral("%1: the unit did not answer the %2, sent %3 times")
                                              .arg(portLabel(), watcher.lastRequest())
                                              .arg(watcher.sends()));
    case Result::PortGone:
        return output_.fail(ExitPortNotOpened, goneText());
    case Result::Stopped:
        break;
    }
    // A stop() without a signal (a count reached) is a normal end.
    return signal_ == 0 ? ExitDone : 128 + signal_;
}

// Whatever ends the operation, the driver lets go of everything under way, so that nothing more
// reaches the unit.
void UnitSession::finish(Result result) {
    QEventLoop* loop = std::exchange(loop_, nullptr);
    if (!loop)
        return;
    result_ = result;
    current_->abort();
    loop->quit();
}

void UnitSession::sequenceEnded(StepOutcome outcome) {
    if (outcome == StepOutcome::Complete)
        finish(Result::Complete);
    else if (outcome == StepOutcome::Error)
        finish(Result::NoAnswer);
}

void UnitSession::stop() {
    stopped_ = true;
    finish(Result::Stopped);
}

// A network port says why its connection ended, naming the port; a device just went.
QString UnitSession::goneText() const {
    return session_.problem().isEmpty() ? QStringLiteral("%1: the device went away").arg(portLabel())
                                        : session_.problem();
}

// Auto Read goes on through a gone port: its requests find no port meanwhile, and the readings resume
// once it is back. Any other operation ends, since the unit's part of it is lost.
void UnitSession::portHungUp() {
    if (!followReturn_ || !loop_) {
        finish(Result::PortGone);
        return;
    }
    const QString next = session_.port() && session_.port()->devicePath().isEmpty()
                             ? QStringLiteral("trying again every %1 s").arg(ReconnectIntervalMs / 1000)
                             : QStringLiteral("waiting for it to return");
    output_.note(QStringLiteral("quellix-cli: %1; %2").arg(goneText(), next));
}

void UnitSession::portReopened(bool open) {
    if (!open) {
        finish(Result::PortGone);
        return;
    }
    output_.note(QStringLiteral("quellix-cli: %1: open again").arg(portLabel()));
}

void UnitSession::received(int signalNumber) {
    if (signal_ == 0)
        signal_ = signalNumber;
    stop();
}

} // namespace quellix
