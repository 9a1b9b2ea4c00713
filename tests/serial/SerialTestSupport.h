// Pseudo-terminals and event-loop waiting for the serial component's tests: the slave is the port
// under test, the master is the peer on the other end of the line.
#pragma once
#include "ComPort.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>
#include <vector>

using namespace std::chrono_literals;

namespace quellix {

// Generous: the tests run beside other builds on a shared machine.
constexpr std::chrono::milliseconds WaitLimit = 20s;

class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    QString SlavePath() const { return slavePath_; }
    // The test's own descriptor of the slave, kept open so that the tty keeps its settings.
    int Slave() const { return slave_; }
    int Master() const { return master_; }
    // Closes the peer: the slave then looks like an unplugged adapter.
    void CloseMaster();

    void Write(const QByteArray& bytes) const;
    // Reads until count bytes have come or the limit has passed.
    QByteArray Read(std::size_t count, std::chrono::milliseconds limit = WaitLimit) const;
    // Reads whatever comes within period.
    QByteArray ReadFor(std::chrono::milliseconds period) const;

private:
    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
};

// Runs the event loop until condition holds or the limit has passed; returns the condition.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = WaitLimit);
// Runs the event loop for a while.
void ProcessEventsFor(std::chrono::milliseconds period);

// What a component has raised, in order.
struct EventLog {
    std::vector<QByteArray> batches;    // OnReceiveString
    std::vector<QByteArray> dataBlocks; // OnReceiveData
    std::vector<char> order;            // 'd' OnReceiveData, 's' OnReceiveString, 'h' OnRequestHangup
    std::vector<std::chrono::steady_clock::time_point> batchTimes;
    int hangups = 0;

    void Attach(TComPort& port);
    QByteArray Joined() const;
    std::size_t ByteCount() const { return static_cast<std::size_t>(Joined().size()); }
};

// A component on the slave of a pseudo-terminal, as COM1.
struct PortOnPty {
    explicit PortOnPty(TRxDelay delay = TRxDelay::_100);

    PtyPair pty;
    TComPort port;
    EventLog log;
};

} // namespace quellix
