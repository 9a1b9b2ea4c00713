#include "NetConnection.h"

#include "NetWorker.h"

#include <QCoreApplication>
#include <QThread>

namespace quellix {

struct NetConnection::Running {
    NetShared shared;
    std::unique_ptr<NotifyChannel> channel;
    QThread thread;
    std::unique_ptr<NetWorker> worker;
};

NetConnection::NetConnection(QObject* parent) : QObject(parent) {}

NetConnection::~NetConnection() {
    close();
}

void NetConnection::open(const NetAddress& address, std::uint32_t opening) {
    close();
    address_ = address;
    opening_ = opening;
    state_ = State::Opening;
    failure_ = {};
    warnings_.clear();
    running_ = std::make_unique<Running>();
    running_->channel = std::make_unique<NotifyChannel>([this](const Notification& n) { Handle(n); });
    running_->worker =
        std::make_unique<NetWorker>(address, limits_, running_->shared, *running_->channel, opening);
    QThread& thread = running_->thread;
    NetShared& shared = running_->shared;
    thread.setObjectName(QStringLiteral("quellix-net"));
    running_->worker->moveToThread(&thread);
    connect(
        &thread, &QThread::started, &thread,
        [&shared] {
            const std::lock_guard lock(shared.mutex);
            shared.loopStarted = true;
            shared.handshake.notify_all();
        },
        Qt::DirectConnection);
    connect(
        &thread, &QThread::finished, &thread,
        [&shared] {
            std::unique_lock lock(shared.mutex);
            shared.handshake.wait(lock, [&shared] { return shared.ownerDone; });
        },
        Qt::DirectConnection);
    thread.start();
    {
        std::unique_lock lock(shared.mutex);
        shared.handshake.wait(lock, [&shared] { return shared.loopStarted; });
    }
    NetWorker* worker = running_->worker.get();
    QMetaObject::invokeMethod(
        worker, [worker] { worker->Start(); }, Qt::QueuedConnection);
}

bool NetConnection::waitForOpen() {
    if (state_ != State::Opening)
        return state_ == State::Open;
    NetShared& shared = running_->shared;
    {
        // The worker decides within its own limits; the margin only guards against a stuck lookup.
        std::unique_lock lock(shared.mutex);
        shared.decided.wait_for(lock, limits_.connect + limits_.negotiate + std::chrono::seconds(1),
                                [&shared] { return shared.openDecided; });
    }
    // The decision was posted before it was signalled: handing out what is queued tells it.
    QCoreApplication::sendPostedEvents(running_->channel.get(), QEvent::MetaCall);
    return state_ == State::Open;
}

bool NetConnection::write(const std::uint8_t* data, std::size_t count) {
    if (state_ != State::Open)
        return false;
    NetShared& shared = running_->shared;
    bool wake = false;
    {
        const std::lock_guard lock(shared.mutex);
        shared.outgoing.insert(shared.outgoing.end(), data, data + count);
        wake = !std::exchange(shared.flushPending, true);
    }
    if (wake) {
        NetWorker* worker = running_->worker.get();
        QMetaObject::invokeMethod(
            worker, [worker] { worker->Flush(); }, Qt::QueuedConnection);
    }
    return true;
}

void NetConnection::close() {
    if (!running_)
        return;
    NetWorker* worker = running_->worker.get();
    // Stop ends the worker's event loop from its own thread.
    QMetaObject::invokeMethod(
        worker, [worker] { worker->Stop(); }, Qt::BlockingQueuedConnection);
    {
        const std::lock_guard lock(running_->shared.mutex);
        running_->shared.ownerDone = true;
    }
    running_->shared.handshake.notify_all();
    running_->thread.wait();
    // The channel goes with it, and with it whatever the worker had posted and was not yet handed out.
    running_.reset();
    if (state_ == State::Opening || state_ == State::Open)
        state_ = State::Closed;
}

void NetConnection::Handle(const Notification& n) {
    if (n.kind == Notification::Kind::Data) {
        Q_EMIT received(opening_, QByteArray(reinterpret_cast<const char*>(n.bytes.data()),
                                             static_cast<qsizetype>(n.bytes.size())));
        return;
    }
    {
        const std::lock_guard lock(running_->shared.mutex);
        failure_ = running_->shared.failure;
        warnings_ = running_->shared.warnings;
    }
    if (n.kind == Notification::Kind::Hangup) {
        state_ = State::Gone;
        Q_EMIT gone(opening_);
    } else if (n.value == 1) {
        state_ = State::Open;
        Q_EMIT opened(opening_);
    } else {
        state_ = State::Failed;
        Q_EMIT openFailed(opening_);
    }
}

} // namespace quellix
