#include "ComPort.h"

#include "ComPortPrivate.h"
#include "CommTrace.h"
#include "LineSettings.h"
#include "SerialLog.h"

#include <QFile>
#include <QPointer>

#include <cerrno>
#include <chrono>
#include <string_view>
#include <system_error>

namespace quellix {

namespace {

constexpr std::chrono::milliseconds WorkerExitWait{10000};

StartCommFault StartFault = StartCommFault::None;

// Raises the component's events for one notification, on the owner's thread. Each handler is copied
// before the call, so that a handler may reassign its own event; a handler that destroys the component
// ends the delivery.
void Deliver(TComPort& port, const Notification& n) {
    switch (n.kind) {
    case Notification::Kind::Data: {
        const QPointer<TComPort> alive(&port);
        const auto count = static_cast<std::uint16_t>(n.bytes.size());
        if (auto onData = port.OnReceiveData)
            onData(n.bytes.data(), count);
        if (!alive)
            return;
        if (auto onString = port.OnReceiveString)
            onString(QByteArray(reinterpret_cast<const char*>(n.bytes.data()), count));
        return;
    }
    case Notification::Kind::Hangup:
        if (auto onHangup = port.OnRequestHangup)
            onHangup(&port);
        return;
    case Notification::Kind::WriteComplete:
        if (auto onComplete = port.OnWriteComplete)
            onComplete(n.value);
        return;
    case Notification::Kind::CommState:
        if (auto onState = port.OnCommState)
            onState(n.value);
        return;
    }
}

LineSettings LineSettingsOf(const TComPort& port) {
    return LineSettings{port.BaudRate, port.Parity,   port.DataBits,
                        port.StopBits, port.RTSState, port.DTRState};
}

// Ends one worker: signals stop, purges the direction it works on (which ends anything pending),
// waits a while with a trace if it is slow, then for as long as it takes.
template <typename Worker, typename Purge>
void StopWorker(std::unique_ptr<Worker>& worker, const EventFd* stop, int fd, Purge purge,
                std::string_view closing, std::string_view notExiting) {
    if (!worker)
        return;
    CommTrace(closing);
    if (stop)
        stop->Signal();
    purge(fd);
    if (!worker->WaitForExit(WorkerExitWait))
        CommTrace(notExiting);
    worker.reset();
}

} // namespace

void SetStartCommFault(StartCommFault fault) {
    StartFault = fault;
}

TComPort::TComPort(QObject* owner) : QObject(owner), d(std::make_unique<TComPortPrivate>()) {
    SetTraceFileName(QString());
    d->channel = std::make_unique<NotifyChannel>([this](const Notification& n) {
        // Workers of an earlier opening may have posted after it ended: never to a later opening.
        if (n.opening == d->opening)
            Deliver(*this, n);
    });
}

TComPort::~TComPort() {
    StopComm();
}

void TComPort::SetDevicePaths(const QMap<QString, QString>& paths) {
    d->devicePaths = paths;
}

QString TComPort::DevicePath() const {
    return d->devicePaths.value(QStringLiteral("COM%1").arg(static_cast<int>(CommPort) + 1));
}

bool TComPort::StartComm() {
    d->lastOpenErrno = 0;
    d->lastOpenPath.clear();
    if (IsOpen())
        throw ECommsError("Already have a comm file open");
    const std::uint32_t opening = ++d->opening;

    d->lastOpenPath = DevicePath();
    OpenResult opened = OpenPortExclusive(QFile::encodeName(d->lastOpenPath));
    d->lastOpenErrno = opened.error;
    if (opened.failure != OpenFailure::None) {
        CommErrorTrace(opened.error, "Error opening com port: ");
        qCInfo(lcSerial) << "cannot open" << d->lastOpenPath << "errno" << opened.error;
        if (opened.failure == OpenFailure::NotATty)
            throw ECommsError("File handle is not a comm handle. ");
        throw ECommsError("Error opening com port");
    }
    d->port = std::move(opened.port);
    const int fd = d->port.Fd();
    const RtsToggle toggle = ApplyLineSettings(fd, LineSettingsOf(*this));

    auto stop = std::make_unique<EventFd>();
    const int stopError = StartFault == StartCommFault::StopSignal ? EMFILE : stop->Error();
    if (stopError != 0) {
        CommErrorTrace(stopError, "Unable to CreateEvent: ");
        AbandonStart();
        return false;
    }
    d->stop = std::move(stop);

    const std::chrono::milliseconds gap{ReceiveGapMs(RxDelay, BaudRate)};
    auto reader = std::make_unique<TReadThread>(fd, *d->stop, *d->channel, gap, opening);
    try {
        if (StartFault == StartCommFault::ReadThread)
            throw std::system_error(EAGAIN, std::generic_category());
        reader->Start();
    } catch (const std::system_error& e) {
        CommErrorTrace(e.code().value(), "Unable to create Read thread");
        AbandonStart();
        throw ECommsError("Unable to create Read thread");
    }
    d->readThread = std::move(reader);

    auto writer =
        std::make_unique<TWriteThread>(fd, *d->stop, *d->channel, toggle == RtsToggle::ByWriter, opening);
    try {
        if (StartFault == StartCommFault::WriteThread)
            throw std::system_error(EAGAIN, std::generic_category());
        writer->Start();
    } catch (const std::system_error& e) {
        CommErrorTrace(e.code().value(), "Unable to create Write thread");
        AbandonStart();
        throw ECommsError("Unable to create Write thread");
    }
    d->writeThread = std::move(writer);
    return true;
}

// A StartComm that fails after the open undoes everything: the receive worker that may run is stopped
// and joined, then the stop signal and the port go. What the failed opening's worker posted meanwhile is
// never delivered.
void TComPort::AbandonStart() {
    d->readThread.reset();
    d->stop.reset();
    d->port.Close();
    ++d->opening;
}

void TComPort::StopComm() {
    if (!IsOpen())
        return;
    CommTrace("Stopping the Comm");
    const int fd = d->port.Fd();
    StopWorker(d->readThread, d->stop.get(), fd, PurgeInput, "Closing Read Thread ",
               "Read thread not exiting.  Terminating it.");
    StopWorker(d->writeThread, d->stop.get(), fd, PurgeOutput, "Closing Write Thread",
               "Write thread not exiting.  Terminating it.");
    d->stop.reset();
    d->port.Close();
}

bool TComPort::WriteCommData(const char* buffer, std::uint16_t length) {
    if (!d->writeThread) {
        CommTrace("Write thread not created");
        return false;
    }
    WriteRequest request{WriteRequest::Kind::Data, length, {}};
    if (length > 0)
        request.bytes.assign(buffer, buffer + length);
    if (!d->writeThread->Post(std::move(request))) {
        CommTrace("Failed to Post to Write thread. ");
        return false;
    }
    return true;
}

bool TComPort::IsOpen() const {
    return d->port.IsOpen();
}

int TComPort::LastOpenErrno() const {
    return d->lastOpenErrno;
}

QString TComPort::LastOpenPath() const {
    return d->lastOpenPath;
}

} // namespace quellix
