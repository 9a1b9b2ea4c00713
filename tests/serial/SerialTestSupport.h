// What the serial component's tests share: a component on the slave of a pseudo-terminal whose master
// is the peer on the other end of the line, and a log of the events it raises.
#pragma once
#include "ComPort.h"
#include "TestPty.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <vector>

using namespace std::chrono_literals;

namespace quellix {

// Generous: the tests run beside other builds on a shared machine.
constexpr std::chrono::milliseconds WaitLimit = TestPty::DefaultBound;
constexpr int WaitMs = static_cast<int>(WaitLimit.count());

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

    // The test keeps the slave open too, to look at the settings the component gives the line.
    TestPty pty{TestPty::Ends::MasterAndSlave};
    TComPort port;
    EventLog log;
};

} // namespace quellix
