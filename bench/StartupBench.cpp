// Start-up of the real program to its first painted window, and its peak resident memory then, beside
// the same figures of an empty Qt main window. Run it inside an X server, e.g. under xvfb-run. Each
// program reports its first paint on standard error with the monotonic clock, which this process shares.
// Usage: startup_bench QUELLIX BARE_WINDOW [runs]
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace quellix {

using bench::Ms;

namespace {

struct Start {
    double toFirstPaintMs = 0;
    long peakKiB = 0;
};

double MonotonicMs() {
    return Ms(bench::Clock::now().time_since_epoch());
}

// Starts the program in empty configuration and start-up directories (no port is opened), waits for
// its first paint, lets it settle for a moment and takes its peak resident memory.
std::optional<Start> StartOnce(const QString& program) {
    QTemporaryDir config;
    QTemporaryDir start;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("quellix.startup.info=true"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(start.path());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setReadChannel(QProcess::StandardError);
    const double launched = MonotonicMs();
    process.start(program, {});
    static const QRegularExpression stamp(QStringLiteral("monotonic clock ([0-9.]+) ms"));
    QByteArray output;
    std::optional<Start> result;
    while (!result && process.waitForReadyRead(20000)) {
        output += process.readAllStandardError();
        const auto match = stamp.match(QString::fromLocal8Bit(output));
        if (match.hasMatch())
            result = Start{match.captured(1).toDouble() - launched, 0};
    }
    if (result) {
        QThread::msleep(500);
        result->peakKiB = bench::PeakResidentKiB(static_cast<int>(process.processId()));
    } else {
        std::fprintf(stderr, "%s: no first paint reported\n%s\n", qPrintable(program), output.constData());
    }
    process.kill();
    process.waitForFinished(5000);
    return result;
}

} // namespace

} // namespace quellix

using namespace quellix;

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_bench QUELLIX BARE_WINDOW [runs]\n");
        return 2;
    }
    // Absolute, as each program starts in a directory of its own.
    const QString tool = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const QString bare = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;

    // One start of each first, uncounted, so that both find the libraries and fonts in the page cache.
    if (!StartOnce(tool) || !StartOnce(bare))
        return 1;
    std::vector<double> toolTimes, bareTimes, toolPeaks, barePeaks;
    for (int i = 0; i < runs; ++i) {
        const auto t = StartOnce(tool);
        const auto b = StartOnce(bare);
        if (!t || !b)
            return 1;
        toolTimes.push_back(t->toFirstPaintMs);
        bareTimes.push_back(b->toFirstPaintMs);
        toolPeaks.push_back(static_cast<double>(t->peakKiB) / 1024);
        barePeaks.push_back(static_cast<double>(b->peakKiB) / 1024);
        std::printf("  start %d: quellix %.1f ms, %.1f MiB; empty window %.1f ms, %.1f MiB\n", i + 1,
                    t->toFirstPaintMs, toolPeaks.back(), b->toFirstPaintMs, barePeaks.back());
    }
    const bench::Summary tool_ = bench::Summarise(toolTimes);
    const bench::Summary bare_ = bench::Summarise(bareTimes);
    bench::PrintRow("start-up to first painted window, quellix under Xvfb (n=" + std::to_string(runs) +
                        ", median / max)",
                    bench::Format("%.0f", tool_.median) + " / " + bench::Format("%.0f ms", tool_.max),
                    bench::Format("empty Qt window %.0f ms, no goal", bare_.median),
                    {tool_.median / bare_.median}, std::nullopt);
    const double toolPeak = bench::Summarise(toolPeaks).max;
    const double barePeak = bench::Summarise(barePeaks).max;
    bench::PrintRow(
        "peak resident memory, quellix after its first paint under Xvfb", bench::Format("%.1f MiB", toolPeak),
        bench::Format("empty Qt window %.1f MiB, no goal", barePeak), {toolPeak / barePeak}, std::nullopt);
    return 0;
}
