// quellix-cli measured end to end as a script runs it, each run a process from its start to its exit:
// read and write with verify against a unit that answers at once (so only the tool's own pauses and
// receive gaps remain: 13 and 26 steps of 150 ms), find over eight pseudo-terminals of which four
// answer, and the start-up of --version.
//
//   cli_bench --cli PATH [--runs N]
#include "BenchSupport.h"
#include "PromptPeer.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <pty.h>
#include <unistd.h>

using namespace quellix;

namespace {

struct Run {
    double ms = 0;
    int status = -1;
    QByteArray err;
};

Run RunCli(const QString& cli, const QStringList& args) {
    QProcess process;
    const auto start = bench::Clock::now();
    process.start(cli, args);
    process.waitForFinished(60000);
    Run run;
    run.ms = bench::Ms(bench::Clock::now() - start);
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.err = process.readAllStandardError();
    return run;
}

// Runs the command `runs` times; nothing when one of them fails.
std::optional<bench::Summary> Measure(const QString& cli, const QStringList& args, int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const Run run = RunCli(cli, args);
        if (run.status != 0) {
            std::fprintf(stderr, "quellix-cli %s: exit %d\n%s", qPrintable(args.join(' ')), run.status,
                         run.err.constData());
            return std::nullopt;
        }
        times.push_back(run.ms);
    }
    return bench::Summarise(times);
}

void LinkRow(const std::string& what, const bench::Summary& s, double floorMs) {
    std::printf("%s: median %.1f ms, max %.1f ms\n", what.c_str(), s.median, s.max);
    bench::PrintRow(what + " (n=" + std::to_string(s.count) + ", median / max)",
                    bench::Format("%.1f", s.median) + " / " + bench::Format("%.1f", s.max) + " ms",
                    bench::Format("floor %.0f ms", floorMs) + ", goal <= 3 % over",
                    {s.median / floorMs, s.max / floorMs}, 1.03);
}

// A pseudo-terminal with nothing behind it: the probe's request lands in its master and stays there.
struct SilentPty {
    SilentPty() {
        int slave = -1;
        char name[128] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            ::close(slave);
            path = QString::fromLocal8Bit(name);
        }
    }
    ~SilentPty() {
        if (master >= 0)
            ::close(master);
    }
    int master = -1;
    QString path;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString cli;
    int runs = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        if (option == "--cli")
            cli = QString::fromLocal8Bit(argv[i + 1]);
        else if (option == "--runs")
            runs = std::max(1, std::atoi(argv[i + 1]));
    }
    if (cli.isEmpty()) {
        std::fprintf(stderr, "usage: cli_bench --cli PATH [--runs N]\n");
        return 2;
    }
    QTemporaryDir dir;
    PromptPeer peer;
    if (!dir.isValid() || !peer.Ok()) {
        std::fprintf(stderr, "cli_bench: no scratch directory or pseudo-terminal\n");
        return 1;
    }
    const QString port = QString::fromStdString(peer.Path());
    const QString file = dir.filePath(QStringLiteral("unit.qlx"));
    int failures = 0;

    // Read first: it leaves the file that write sends.
    if (const auto s = Measure(cli, {"read", "--port", port, "-o", file}, runs))
        LinkRow("quellix-cli read, process start to exit", *s, 13 * 150.0);
    else
        ++failures;
    if (const auto s = Measure(cli, {"write", "--port", port, file}, runs))
        LinkRow("quellix-cli write with verify, process start to exit", *s, 26 * 150.0);
    else
        ++failures;

    std::vector<std::unique_ptr<PromptPeer>> units;
    std::vector<std::unique_ptr<SilentPty>> silent;
    QStringList paths;
    for (int i = 0; i < 4; ++i) {
        units.push_back(std::make_unique<PromptPeer>());
        silent.push_back(std::make_unique<SilentPty>());
        paths << QString::fromStdString(units.back()->Path()) << silent.back()->path;
    }
    if (const auto s = Measure(cli, QStringList{"find"} + paths, 3)) {
        std::printf("find over 8 pseudo-terminals, 4 with a unit: median %.0f ms, max %.0f ms\n", s->median,
                    s->max);
        bench::PrintRow("quellix-cli find over 8 pseudo-terminals, 4 with a unit (n=" +
                            std::to_string(s->count) + ", median / max)",
                        bench::Format("%.0f", s->median) + " / " + bench::Format("%.0f", s->max) + " ms",
                        "goal <= 2500 ms", {s->median / 2500, s->max / 2500}, 1.0);
    } else {
        ++failures;
    }

    if (const auto s = Measure(cli, {"--version"}, 20)) {
        std::printf("--version: median %.1f ms, max %.1f ms\n", s->median, s->max);
        bench::PrintRow("quellix-cli --version, process start to exit (n=" + std::to_string(s->count) +
                            ", median / max)",
                        bench::Format("%.1f", s->median) + " / " + bench::Format("%.1f", s->max) + " ms",
                        "goal median <= 30 ms", {s->median / 30}, 1.0);
    } else {
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
