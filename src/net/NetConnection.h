// One network port, tcp://HOST:PORT or rfc2217://HOST:PORT, opened on a worker thread of its own as the
// serial component runs its receive worker: received bytes are cut into batches as the tty has them (the
// 50 ms receive gap, at most 100 bytes, whatever the chunking of TCP), timed where they arrive, not when
// the owner's thread is free again. Everything is told on the owner's thread through the signals.
#pragma once

#include "NetAddress.h"
#include "NetFailure.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <memory>

namespace quellix {

struct Notification;

class NetConnection : public QObject {
    Q_OBJECT
public:
    enum class State {
        Closed,  // never opened, or closed
        Opening, // connecting, and for rfc2217:// negotiating the line
        Open,
        Failed, // the open failed: failure() says why
        Gone,   // the open connection ended (the server closed it, or stopped answering): failure()
    };
    Q_ENUM(State)

    struct Limits {
        // The TCP connection, the host name's lookup included.
        std::chrono::milliseconds connect{3000};
        // RFC 2217: the server's answers to the options and line settings, once connected. Settings
        // still unanswered then are warnings; a server that sent no Telnet command at all fails.
        std::chrono::milliseconds negotiate{1000};
        // Raw: how long a new connection must stay up before it counts as open, so that a server that
        // refuses a second client at once (as ser2net does) fails the open instead of going away after it.
        std::chrono::milliseconds settle{20};
        std::chrono::milliseconds receiveGap{50};
        std::size_t batchLimit = 100;
    };

    explicit NetConnection(QObject* parent = nullptr);
    // Closes a connection still running.
    ~NetConnection() override;

    // For the next open.
    void setLimits(const Limits& limits) { limits_ = limits; }

    // Closes a connection running, then starts opening `address` and returns at once: opened() or
    // openFailed() follows on this thread's event loop. `opening` is handed back with every signal of
    // this opening.
    void open(const NetAddress& address, std::uint32_t opening = 0);
    // Waits without running the event loop until the open under way has ended, at most the limits;
    // opened() or openFailed() has been emitted when it returns. Whether it opened.
    bool waitForOpen();
    // Queues a copy of the bytes for sending and returns at once; false unless open.
    bool write(const std::uint8_t* data, std::size_t count);
    // Ends the connection and its worker, blocking until the worker has ended; nothing more is emitted
    // for it, not even what it had already received.
    void close();

    State state() const { return state_; }
    NetAddress address() const { return address_; }
    // Why the state is Failed or Gone; kind None otherwise.
    NetFailure failure() const { return failure_; }
    // What the server did not take as asked (options refused, settings unanswered): told at the open,
    // never a failure.
    QStringList warnings() const { return warnings_; }

Q_SIGNALS:
    void opened(std::uint32_t opening);
    void openFailed(std::uint32_t opening);
    // One batch as the tty would have delivered it: 1 to batchLimit bytes.
    void received(std::uint32_t opening, const QByteArray& batch);
    // The open connection ended; failure() says why. Bytes received before it have been delivered.
    void gone(std::uint32_t opening);

private:
    struct Running;
    void Handle(const Notification& notification);

    Limits limits_;
    NetAddress address_;
    std::uint32_t opening_ = 0;
    State state_ = State::Closed;
    NetFailure failure_;
    QStringList warnings_;
    std::unique_ptr<Running> running_;
};

} // namespace quellix
