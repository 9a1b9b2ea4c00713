// The worker side of NetConnection, on the connection's own thread: the socket, the RFC 2217 session,
// the receive batches and their timers. It meets the owner only through NetShared and the
// notification channel: a Data notification per batch, CommState when the open is decided (value 1
// opened, 0 failed), Hangup when the open connection ends.
#pragma once

#include "NetConnection.h"
#include "NotifyChannel.h"
#include "ReceiveBatcher.h"
#include "Rfc2217.h"

#include <QAbstractSocket>
#include <QObject>

#include <condition_variable>
#include <mutex>
#include <optional>

class QTcpSocket;
class QTimer;

namespace quellix {

struct NetShared {
    std::mutex mutex;
    std::condition_variable decided;
    bool openDecided = false;
    NetFailure failure;
    QStringList warnings;
    std::vector<std::uint8_t> outgoing; // queued by write(), sent by Flush()
    bool flushPending = false;
    // Qt orders the worker's event loop and the owner's posts to it with locks ThreadSanitizer cannot
    // see. These two handshakes make that order visible: the loop's wake-up descriptor exists before
    // the owner first posts to it, and is closed only after the owner's last post.
    std::condition_variable handshake;
    bool loopStarted = false;
    bool ownerDone = false;
};

class NetWorker : public QObject {
public:
    NetWorker(const NetAddress& address, const NetConnection::Limits& limits, NetShared& shared,
              NotifyChannel& channel, std::uint32_t opening);

    // Each runs on the worker's thread.
    void Start();
    void Flush();
    void Stop();

private:
    enum class Phase { Connecting, Negotiating, Settling, Open, Ended };

    void Connected();
    void ReadyRead();
    void SocketError(QAbstractSocket::SocketError error);
    void OpenTimeUp();
    void GapPassed();
    void ArmGap(ReceiveBatcher::Clock::time_point now);
    void Deliver(std::vector<std::uint8_t> batch);
    void Opened();
    void Fail(const NetFailure& failure);
    void Post(Notification::Kind kind, std::vector<std::uint8_t> bytes = {}, std::uint16_t value = 0);

    NetAddress address_;
    NetConnection::Limits limits_;
    NetShared& shared_;
    NotifyChannel& channel_;
    std::uint32_t opening_;
    Phase phase_ = Phase::Connecting;
    QTcpSocket* socket_ = nullptr;
    QTimer* openTimer_ = nullptr;
    QTimer* gapTimer_ = nullptr;
    std::optional<Rfc2217Session> session_;
    ReceiveBatcher batcher_;
    std::vector<std::vector<std::uint8_t>> early_; // batches made before the open was decided
    QByteArray sentBeforeOpen_;                    // for the failure's text
};

} // namespace quellix
