// Network ports on loopback through a real ser2net, in front of a unit that answers at once: connect
// plus RFC 2217 negotiation (goal: median at most 50 ms) and a raw connect beside it; with --cli, the
// link through each accepter as a user meets it: one 'x' round trip of a link driver on a network
// port (floor 150 ms, the pause and the receive gap) and quellix-cli read as a process (floor 1950 ms),
// each goal at most 3 % over.
//
//   net_bench [--runs N] [--cli PATH]
#include "BenchSupport.h"
#include "ConfigBlock.h"
#include "LinkDriver.h"
#include "NetConnection.h"
#include "NetLinkPort.h"
#include "PromptPeer.h"
#include "Ser2net.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

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

// Ends a wait once the link stored a reading.
class ReadingCatch : public LinkListener {
public:
    explicit ReadingCatch(QEventLoop& loop) : loop_(loop) {}
    void ReadingsTaken(ChannelValues, ChannelValues, ChannelFlagBytes) override { loop_.quit(); }

private:
    QEventLoop& loop_;
};

// From readMeasurements() to the reading stored, on one open port, `runs` times; nothing when a reply
// never came.
std::optional<bench::Summary> MeasureRoundTrips(const QString& url, int runs) {
    NetLinkPort port(url);
    if (!port.open()) {
        std::fprintf(stderr, "%s\n", qPrintable(port.failureText()));
        return std::nullopt;
    }
    ConfigBlock block = DefaultBlock();
    LinkDriver driver(block, LinkDriver::PauseMode::Queued);
    driver.setPort(&port);
    QEventLoop loop;
    ReadingCatch caught(loop);
    driver.addListener(caught);
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        bool late = false;
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
            late = true;
            loop.quit();
        });
        const auto start = bench::Clock::now();
        driver.readMeasurements();
        limit.start(2000);
        loop.exec();
        if (late)
            return std::nullopt;
        times.push_back(bench::Ms(bench::Clock::now() - start));
        QThread::msleep(50);
    }
    return bench::Summarise(times);
}

// quellix-cli read as a script runs it, process start to exit; nothing when one run fails.
std::optional<bench::Summary> MeasureCliReads(const QString& cli, const QString& url, int runs) {
    QTemporaryDir dir;
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QProcess process;
        const auto start = bench::Clock::now();
        process.start(cli, {"read", "--port", url, "-o", dir.filePath(QStringLiteral("unit.qlx"))});
        process.waitForFinished(60000);
        const double ms = bench::Ms(bench::Clock::now() - start);
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            std::fprintf(stderr, "quellix-cli read --port %s:\n%s", qPrintable(url),
                         process.readAllStandardError().constData());
            return std::nullopt;
        }
        times.push_back(ms);
        // ser2net lets go of the last connection before it takes the next.
        QThread::msleep(100);
    }
    return bench::Summarise(times);
}

void FloorRow(const std::string& what, const bench::Summary& s, double floorMs) {
    std::printf("%s: median %.1f ms, max %.1f ms\n", what.c_str(), s.median, s.max);
    bench::PrintRow(what + " (n=" + std::to_string(s.count) + ", median / max)",
                    bench::Format("%.1f", s.median) + " / " + bench::Format("%.1f", s.max) + " ms",
                    bench::Format("floor %.0f ms", floorMs) + ", goal median <= 3 % over",
                    {s.median / floorMs}, 1.03);
}

// The link through each accepter: 'x' round trips, then quellix-cli read.
int MeasureLink(const QString& cli, const Ser2net& raw, const Ser2net& telnet, int runs) {
    int failures = 0;
    for (const Ser2net* server : {&raw, &telnet}) {
        const std::string kind = server == &raw ? "raw" : "rfc2217";
        if (const auto s = MeasureRoundTrips(server->url(), std::max(runs, 20)))
            FloorRow("'x' round trip of a link driver through ser2net " + kind, *s, 150.0);
        else
            ++failures;
        if (const auto s = MeasureCliReads(cli, server->url(), std::min(runs, 5)))
            FloorRow("quellix-cli read through ser2net " + kind + ", process start to exit", *s, 13 * 150.0);
        else
            ++failures;
    }
    return failures;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int runs = 30;
    QString cli;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--cli") == 0)
            cli = QString::fromLocal8Bit(argv[i + 1]);
    }
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
    if (!cli.isEmpty())
        failures += MeasureLink(cli, raw, telnet, runs);
    return failures == 0 ? 0 : 1;
}
