#include "UnitSession.h"

#include "FrameLog.h"

#include <QEventLoop>

namespace quellix {

UnitSession::UnitSession(const PortName& port, CliOutput& output) : name_(port), output_(output) {
    connect(&signals_, &StopSignals::received, this, &UnitSession::received);
    connect(&session_, &PortSession::hungUp, this, &UnitSession::portHungUp);
    connect(&session_, &PortSession::reopened, this, &UnitSession::portReopened);
}

UnitSession::~UnitSession() {
    session_.stop();
}

QString UnitSession::portLabel() const {
    return PortLabel(name_);
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

int UnitSession::download(ConfigBlock& block, const QString& verb, QString* version) {
    return run(
        block, [](UnitOperation& operation) { operation.startDownload(); }, verb, nullptr, version);
}

int UnitSession::upload(const ConfigBlock& block) {
    ConfigBlock sent = block;
    return run(
        sent, [](UnitOperation& operation) { operation.startUpload(); }, QStringLiteral("Writing"));
}

int UnitSession::version(QString& text) {
    ConfigBlock scratch = DefaultBlock();
    return run(
        scratch, [](UnitOperation& operation) { operation.startVersion(); }, {}, nullptr, &text);
}

int UnitSession::autoRead(ConfigBlock& block, int intervalMs, LinkListener& readings) {
    followReturn_ = true;
    const int status = run(
        block, [intervalMs](UnitOperation& operation) { operation.startAutoRead(intervalMs); }, {},
        &readings);
    followReturn_ = false;
    return status;
}

int UnitSession::run(ConfigBlock& block, const std::function<void(UnitOperation&)>& start,
                     const QString& verb, LinkListener* extra, QString* version) {
    if (stopped_)
        return 128 + signal_;
    UnitOperation operation(block, session_.port(), [this] { return stopped_ || signals_.Pending(); });
    FrameLog frames(output_.errorStream(), block);
    if (output_.verbosity() == Verbosity::Verbose)
        operation.addListener(frames);
    bool shown = false;
    if (output_.showsProgress() && !verb.isEmpty())
        operation.setStepHandler([this, &verb, &shown](int step) {
            output_.progress(QStringLiteral("\r%1 %2/13").arg(verb).arg(step));
            shown = true;
        });
    if (extra)
        operation.addListener(*extra);
    QEventLoop loop;
    operation.setEndHandler([&loop](UnitOperation::Result) { loop.quit(); });
    current_ = &operation;
    start(operation);
    loop.exec();
    current_ = nullptr;
    if (version)
        *version = operation.version();
    // Clears the progress line, before any message follows.
    if (shown)
        output_.progress(QStringLiteral("\r\x1b[K"));
    QString message;
    if (const int status = operation.status(portLabel(), message); status != ExitDone)
        return output_.fail(status,
                            operation.result() == UnitOperation::Result::PortGone ? goneText() : message);
    // A stop() without a signal (a count reached) is a normal end.
    return operation.result() != UnitOperation::Result::Stopped || signal_ == 0 ? ExitDone : 128 + signal_;
}

void UnitSession::stop() {
    stopped_ = true;
    if (current_)
        current_->finish(UnitOperation::Result::Stopped);
}

// A network port says why its connection ended, naming the port; a device just went.
QString UnitSession::goneText() const {
    return session_.problem().isEmpty() ? QStringLiteral("%1: the device went away").arg(portLabel())
                                        : session_.problem();
}

// Auto Read goes on through a gone port: its requests find no port meanwhile, and the readings resume
// once it is back. Any other operation ends, since the unit's part of it is lost.
void UnitSession::portHungUp() {
    if (!followReturn_ || !current_) {
        if (current_)
            current_->finish(UnitOperation::Result::PortGone);
        return;
    }
    const QString next = session_.port() && session_.port()->devicePath().isEmpty()
                             ? QStringLiteral("trying again every %1 s").arg(ReconnectIntervalMs / 1000)
                             : QStringLiteral("waiting for it to return");
    output_.note(QStringLiteral("quellix-cli: %1; %2").arg(goneText(), next));
}

void UnitSession::portReopened(bool open) {
    if (!open) {
        if (current_)
            current_->finish(UnitOperation::Result::PortGone);
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
