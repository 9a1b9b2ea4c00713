#include "NetWorker.h"

#include "NetLog.h"

#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

namespace quellix {

namespace {

using Clock = ReceiveBatcher::Clock;

// What a failed open keeps of the server's words.
constexpr qsizetype MaxSentBeforeOpen = 256;

// A dead server (switched off, cable pulled: no reset ever comes) is noticed within about 30 s: idle
// probes after 10 s, four more 5 s apart; and data left unacknowledged for 30 s ends the connection too,
// where keepalive would not probe at all.
void TuneSocket(int fd) {
    const int idle = 10, interval = 5, count = 4;
    const unsigned userTimeoutMs = 30000;
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeoutMs, sizeof userTimeoutMs);
}

// Servers with Nagle's algorithm on (ser2net among them) hold a second small segment until the first
// is acknowledged, and Linux delays acknowledgements by up to 40 ms: the RFC 2217 answers took 45 ms
// instead of 1 ms. The kernel drops the flag again by itself, so it is set after every read.
void AcknowledgeAtOnce(int fd) {
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
}

bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}

} // namespace

NetWorker::NetWorker(const NetAddress& address, const NetConnection::Limits& limits, NetShared& shared,
                     NotifyChannel& channel, std::uint32_t opening)
    : address_(address), limits_(limits), shared_(shared), channel_(channel), opening_(opening),
      batcher_(limits.receiveGap, limits.batchLimit) {}

void NetWorker::Start() {
    socket_ = new QTcpSocket(this);
    openTimer_ = new QTimer(this);
    openTimer_->setSingleShot(true);
    gapTimer_ = new QTimer(this);
    gapTimer_->setSingleShot(true);
    gapTimer_->setTimerType(Qt::PreciseTimer);
    connect(socket_, &QTcpSocket::connected, this, &NetWorker::Connected);
    connect(socket_, &QTcpSocket::readyRead, this, &NetWorker::ReadyRead);
    connect(socket_, &QTcpSocket::errorOccurred, this, &NetWorker::SocketError);
    connect(openTimer_, &QTimer::timeout, this, &NetWorker::OpenTimeUp);
    connect(gapTimer_, &QTimer::timeout, this, &NetWorker::GapPassed);
    qCDebug(lcNet) << "connecting to" << address_.name();
    openTimer_->start(limits_.connect);
    socket_->connectToHost(address_.host, address_.port);
}

void NetWorker::Stop() {
    phase_ = Phase::Ended;
    delete gapTimer_;
    delete openTimer_;
    if (socket_)
        socket_->abort();
    delete socket_;
    gapTimer_ = openTimer_ = nullptr;
    socket_ = nullptr;
    QThread::currentThread()->quit();
}

void NetWorker::Connected() {
    const int fd = static_cast<int>(socket_->socketDescriptor());
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket_->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    TuneSocket(fd);
    qCDebug(lcNet) << "connected to" << address_.name() << socket_->peerAddress();
    if (address_.protocol == NetProtocol::Rfc2217) {
        phase_ = Phase::Negotiating;
        session_.emplace();
        const NetBytes start = session_->Start();
        socket_->write(reinterpret_cast<const char*>(start.data()), static_cast<qint64>(start.size()));
        openTimer_->start(limits_.negotiate);
    } else {
        phase_ = Phase::Settling;
        openTimer_->start(limits_.settle);
    }
}

void NetWorker::ReadyRead() {
    const QByteArray bytes = socket_->readAll();
    const auto now = Clock::now();
    AcknowledgeAtOnce(static_cast<int>(socket_->socketDescriptor()));
    const auto* raw = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    NetBytes data;
    if (session_) {
        NetBytes send;
        session_->Receive(raw, static_cast<std::size_t>(bytes.size()), data, send);
        if (!send.empty())
            socket_->write(reinterpret_cast<const char*>(send.data()), static_cast<qint64>(send.size()));
    } else {
        data.assign(raw, raw + bytes.size());
    }
    if (phase_ != Phase::Open && sentBeforeOpen_.size() < MaxSentBeforeOpen)
        sentBeforeOpen_.append(reinterpret_cast<const char*>(data.data()),
                               std::min<qsizetype>(static_cast<qsizetype>(data.size()),
                                                   MaxSentBeforeOpen - sentBeforeOpen_.size()));
    for (auto& batch : batcher_.Add(data.data(), data.size(), now))
        Deliver(std::move(batch));
    ArmGap(now);
    if (phase_ == Phase::Negotiating && session_->Settled())
        Opened();
}

void NetWorker::ArmGap(Clock::time_point now) {
    const auto deadline = batcher_.Deadline();
    if (!deadline) {
        gapTimer_->stop();
        return;
    }
    gapTimer_->start(std::max(std::chrono::ceil<std::chrono::milliseconds>(*deadline - now),
                              std::chrono::milliseconds(0)));
}

// Bytes already waiting in the socket count as in time, as on the tty: they are read first, and their
// arrival moves the gap on.
void NetWorker::GapPassed() {
    if (phase_ == Phase::Ended || Readable(static_cast<int>(socket_->socketDescriptor())))
        return;
    const auto now = Clock::now();
    auto batch = batcher_.TakeDue(now);
    if (!batch.empty())
        Deliver(std::move(batch));
    ArmGap(now);
}

void NetWorker::Deliver(std::vector<std::uint8_t> batch) {
    if (phase_ == Phase::Open)
        Post(Notification::Kind::Data, std::move(batch));
    else
        early_.push_back(std::move(batch));
}

void NetWorker::SocketError(QAbstractSocket::SocketError error) {
    if (phase_ == Phase::Ended)
        return;
    const bool opening = phase_ != Phase::Open;
    if (error == QAbstractSocket::RemoteHostClosedError)
        Fail(FailureForServerClose(address_.name(), opening, sentBeforeOpen_));
    else
        Fail(FailureForSocketError(error, address_.name(), phase_ == Phase::Connecting,
                                   socket_->errorString()));
}

void NetWorker::OpenTimeUp() {
    switch (phase_) {
    case Phase::Connecting:
        Fail(ConnectTimeoutFailure(address_.name(), static_cast<int>(limits_.connect.count())));
        break;
    case Phase::Negotiating:
        if (!session_->HeardTelnet())
            Fail(NotTelnetFailure(address_.name(), static_cast<int>(limits_.negotiate.count())));
        else
            Opened();
        break;
    case Phase::Settling:
        Opened();
        break;
    default:
        break;
    }
}

void NetWorker::Opened() {
    phase_ = Phase::Open;
    openTimer_->stop();
    QStringList warnings;
    if (session_) {
        for (const std::string& w : session_->Warnings())
            warnings << address_.name() + QLatin1String(": ") + QString::fromStdString(w);
    }
    qCDebug(lcNet) << "open:" << address_.name() << warnings;
    {
        const std::lock_guard lock(shared_.mutex);
        shared_.warnings = warnings;
        shared_.openDecided = true;
    }
    Post(Notification::Kind::CommState, {}, 1);
    shared_.decided.notify_all();
    for (auto& batch : early_)
        Post(Notification::Kind::Data, std::move(batch));
    early_.clear();
}

void NetWorker::Fail(const NetFailure& failure) {
    const bool wasOpen = phase_ == Phase::Open;
    phase_ = Phase::Ended;
    openTimer_->stop();
    gapTimer_->stop();
    socket_->abort();
    qCDebug(lcNet) << "ended:" << failure.text;
    {
        const std::lock_guard lock(shared_.mutex);
        shared_.failure = failure;
        shared_.openDecided = true;
    }
    if (wasOpen) {
        // What arrived before the end is still delivered, ahead of it.
        Post(Notification::Kind::Data, batcher_.TakeAll());
        Post(Notification::Kind::Hangup);
    } else {
        Post(Notification::Kind::CommState, {}, 0);
        shared_.decided.notify_all();
    }
}

void NetWorker::Flush() {
    NetBytes out;
    {
        const std::lock_guard lock(shared_.mutex);
        out.swap(shared_.outgoing);
        shared_.flushPending = false;
    }
    if (phase_ != Phase::Open || out.empty())
        return;
    if (session_) {
        NetBytes escaped;
        Rfc2217Session::EscapeData(out.data(), out.size(), escaped);
        out.swap(escaped);
    }
    socket_->write(reinterpret_cast<const char*>(out.data()), static_cast<qint64>(out.size()));
}

void NetWorker::Post(Notification::Kind kind, std::vector<std::uint8_t> bytes, std::uint16_t value) {
    if (kind == Notification::Kind::Data && bytes.empty())
        return;
    channel_.Post(Notification{kind, value, std::move(bytes), opening_});
}

} // namespace quellix
