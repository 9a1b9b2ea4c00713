// Opening a network port on loopback through a real ser2net, in front of a unit that answers at once:
// connect plus RFC 2217 negotiation (goal: median at most 50 ms), and a raw connect beside it.
//
//   net_bench [--runs N]
#include "BenchSupport.h"
#include "NetConnection.h"
#include "PromptPeer.h"
#include "Ser2net.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>
#include <cstring>

using namespace quellix;

namespace {

// Opens and closes `runs` times; nothing when an open fails. A refusal because ser2net is still
// letting go of the last connection is waited out and not counted.
std::optional<bench::Summary> MeasureOpens(const QString& url, int runs) {
    const auto address = ParseNetAddress(url);
    std::vector<double> times;
    for (int busy = 0; static_cast<int>(times.size()) < runs && busy < 20;) {
        NetConnection connection;
        const auto start = bench::Clock::now();
        connection.open(*address);
        const bool opened = connection.waitForOpen();
        const double ms = bench::Ms(bench::Clock::now() - start);
        if (!opened && connection.failure().kind != NetFailureKind::Busy) {
            std::fprintf(stderr, "%s\n", qPrintable(connection.failure().text));
            return std::nullopt;
        }
        if (opened)
            times.push_back(ms);
        else
            ++busy;
        connection.close();
        QThread::msleep(100);
    }
    return times.empty() ? std::nullopt : std::optional(bench::Summarise(times));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc == 3 && std::strcmp(argv[1], "--runs") == 0 ? std::max(1, std::atoi(argv[2])) : 30;
    if (!Ser2net::Installed()) {
        std::fprintf(stderr, "net_bench: ser2net is not installed; scripts/setup installs it\n");
        return 1;
    }
    PromptPeer unit;
    Ser2net telnet(QString::fromStdString(unit.Path()), Ser2net::Accepter::Rfc2217);
    Ser2net raw(QString::fromStdString(unit.Path()), Ser2net::Accepter::Raw);
    if (!unit.Ok() || !telnet.start() || !raw.start()) {
        std::fprintf(stderr, "net_bench: no pseudo-terminal, or ser2net did not start:\n%s%s\n",
                     qPrintable(telnet.log()), qPrintable(raw.log()));
        return 1;
    }
    int failures = 0;
    if (const auto s = MeasureOpens(telnet.url(), runs)) {
        std::printf("rfc2217 through ser2net: median %.1f ms, max %.1f ms\n", s->median, s->max);
        bench::PrintRow("connect plus RFC 2217 negotiation through ser2net on loopback (n=" +
                            std::to_string(s->count) + ", median / max)",
                        bench::Format("%.1f", s->median) + " / " + bench::Format("%.1f", s->max) + " ms",
                        "goal median <= 50 ms", {s->median / 50}, 1.0);
    } else {
        ++failures;
    }
    if (const auto s = MeasureOpens(raw.url(), runs)) {
        std::printf("raw through ser2net: median %.1f ms, max %.1f ms\n", s->median, s->max);
        bench::PrintRow("connect to a raw port through ser2net on loopback, the 20 ms settle included (n=" +
                            std::to_string(s->count) + ", median / max)",
                        bench::Format("%.1f", s->median) + " / " + bench::Format("%.1f", s->max) + " ms",
                        "no goal", {}, std::nullopt);
    } else {
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
