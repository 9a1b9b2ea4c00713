// How late received batches reach the owner's thread: over a pseudo-terminal, the time from the last
// byte written by the peer to OnReceiveString, less the receive gap (goal: median at most 1 ms, p99 at
// most 3 ms). Usage: serial_latency_bench [batches]
#include "ComPort.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <pty.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Figures {
    double median = 0;
    double p99 = 0;
    double max = 0;
};

Figures Summarise(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const auto at = [&values](double q) {
        return values[std::min(values.size() - 1,
                               static_cast<std::size_t>(q * static_cast<double>(values.size())))];
    };
    return {at(0.5), at(0.99), values.back()};
}

class LatencyProbe {
public:
    LatencyProbe(TComPort& port, int master) : port_(port), master_(master) {
        limit_.setSingleShot(true);
        QObject::connect(&limit_, &QTimer::timeout, &loop_, &QEventLoop::quit);
        port_.OnReceiveString = [this](const QByteArray& s) {
            received_ += s.size();
            arrived_ = Clock::now();
            if (received_ >= expected_)
                loop_.quit();
        };
    }

    // Milliseconds from the last byte written to the delivery, less the gap; none when lost. The clock
    // is read before the write, so a writer preempted right after it cannot make the figure look
    // better than it is.
    std::optional<double> Measure(const QByteArray& bytes, std::chrono::milliseconds gap) {
        received_ = 0;
        expected_ = bytes.size();
        const auto written = Clock::now();
        if (::write(master_, bytes.constData(), static_cast<size_t>(bytes.size())) != bytes.size())
            return std::nullopt;
        limit_.start(5000);
        loop_.exec();
        limit_.stop();
        if (received_ < expected_)
            return std::nullopt;
        return std::chrono::duration<double, std::milli>(arrived_ - written - gap).count();
    }

private:
    TComPort& port_;
    int master_;
    QEventLoop loop_;
    QTimer limit_;
    qsizetype received_ = 0;
    qsizetype expected_ = 0;
    Clock::time_point arrived_;
};

void Print(const char* what, const std::vector<double>& delays) {
    const Figures f = Summarise(delays);
    std::printf("%-34s n=%zu  median %.3f ms  p99 %.3f ms  max %.3f ms\n", what, delays.size(), f.median,
                f.p99, f.max);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int batches = argc > 1 ? std::max(200, std::atoi(argv[1])) : 300;

    int master = -1;
    int slave = -1;
    char name[128] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    TComPort port;
    port.SetDevicePaths({{QStringLiteral("COM1"), QString::fromLocal8Bit(name)}});
    port.BaudRate = TBaudRate::___9600;
    port.RxDelay = TRxDelay::__10;
    const std::chrono::milliseconds gap{ReceiveGapMs(port.RxDelay, port.BaudRate)};
    try {
        port.StartComm();
    } catch (const ECommsError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }

    LatencyProbe probe(port, master);
    std::vector<double> frameDelays;
    std::vector<double> byteDelays;
    const QByteArray frame(30, 'F');
    for (int i = 0; i < batches; ++i) {
        const std::optional<double> frameDelay = probe.Measure(frame, gap);
        const std::optional<double> byteDelay = probe.Measure("B", gap);
        if (!frameDelay || !byteDelay) {
            std::fprintf(stderr, "batch %d was lost\n", i);
            return 1;
        }
        frameDelays.push_back(*frameDelay);
        byteDelays.push_back(*byteDelay);
    }
    port.StopComm();
    ::close(master);
    ::close(slave);

    std::printf("receive gap %lld ms, %d batches each; delays over the gap:\n",
                static_cast<long long>(gap.count()), batches);
    Print("30-byte batch, last byte to owner", frameDelays);
    Print("single byte, written to owner", byteDelays);
    const Figures f = Summarise(frameDelays);
    const bool met = f.median <= 1.0 && f.p99 <= 3.0;
    std::printf("goal (median <= 1 ms, p99 <= 3 ms): %s\n", met ? "met" : "missed");
    return 0;
}
