// The readings kept: a day of history in memory (goal at most 4 MB), appending one recorded line (goal
// median at most 0.1 ms on the window's thread), a full redraw of the trend at the 24-hour span with a
// full history, offscreen (goal median at most 16 ms, one frame at 60 Hz), and the tool's CPU time with
// Auto Read on, the trend open at 10 minutes and a recording running against quellix-sim (goal at most
// 1 % of one core over the idle period). With Qt Charts present, the same columns drawn by a QChartView
// beside the trend's own chart.
// Usage: trend_bench [--sim PATH --idle-seconds S]
#include "BenchSupport.h"
#include "BenchWindow.h"
#include "ChartsCompare.h"
#include "DataRecording.h"
#include "History.h"
#include "Recorder.h"
#include "TrendChart.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace quellix {

using bench::Clock;
using bench::Ms;

namespace {

constexpr int DayReadings = 86400;
constexpr double HistoryGoalMiB = 4.0 * 1000 * 1000 / (1024 * 1024); // 4 MB
constexpr double AppendGoalMs = 0.1;
constexpr double RedrawGoalMs = 16;
constexpr double IdleGoalPercent = 1.0;
constexpr std::int64_t Start = 1796804130000;

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            std::istringstream fields(line.substr(6));
            long kib = 0;
            fields >> kib;
            return kib;
        }
    }
    return 0;
}

// A day at one reading a second: slow waves with noise and a one-reading spike; with `gaps`, two stale
// stretches in it.
void FillDay(History& history, bool gaps) {
    std::mt19937 noise(7);
    std::normal_distribution<double> jitter(0, 3);
    for (int i = 0; i < DayReadings; ++i) {
        const std::int64_t t = Start + 1000LL * i;
        if (gaps && ((i >= 30000 && i < 30300) || (i >= 70000 && i < 70020))) {
            if (i == 30000 || i == 70000)
                history.AddStale(t);
            continue;
        }
        Reading r;
        r.msecsSinceEpoch = t;
        for (std::size_t c = 0; c < 4; ++c) {
            const double wave = 500 + 300 * std::sin(i / (2000.0 + 700 * c)) + jitter(noise);
            r.raw[c] = static_cast<std::int16_t>(wave);
            r.shown[c] = static_cast<std::int16_t>(wave * (c + 1) - 200);
            r.flags[c] = static_cast<std::uint8_t>(c);
        }
        if (i == 50000)
            r.shown[0] = 3000;
        history.Add(r);
    }
}

void HistoryMemory() {
    const long before = ResidentKiB();
    History history;
    FillDay(history, false);
    const long after = ResidentKiB();
    const double measured = (after - before) / 1024.0;
    const double counted = history.MemoryBytes() / (1024.0 * 1024.0);
    std::printf("  history: %zu entries; resident set grew %.2f MiB, the containers count %.2f MiB\n",
                history.Size(), measured, counted);
    const double figure = std::max(measured, counted);
    bench::PrintRow("history of 24 h at one reading a second (86,400 readings), resident",
                    bench::Format("%.2f MiB", figure), "goal <= 4 MB (3.81 MiB)", {figure / HistoryGoalMiB},
                    1.0);
}

void Append() {
    // Beside the program, on the build's disk: a temporary directory may be in memory.
    QTemporaryDir dir(QCoreApplication::applicationDirPath() + QStringLiteral("/append-XXXXXX"));
    Recorder recorder;
    if (!recorder.Start(dir.filePath(QStringLiteral("bench.csv")),
                        "Time,a raw,a,b raw,b,c raw,c,d raw,d\n")) {
        std::fprintf(stderr, "%s\n", qPrintable(recorder.Error()));
        return;
    }
    std::vector<double> times;
    Reading r;
    r.flags = {1, 2, 3, 0};
    for (int i = 0; i < 10000; ++i) {
        r.msecsSinceEpoch = Start + 1000LL * i;
        r.raw = {static_cast<std::int16_t>(i % 1024), 512, -3, 1023};
        r.shown = {static_cast<std::int16_t>(i), -1234, 32767, NoValue};
        const auto before = Clock::now();
        recorder.Append(r);
        times.push_back(Ms(Clock::now() - before));
    }
    const bench::Summary s = bench::Summarise(times);
    bench::PrintRow("append one recorded line: format, write(2), check (n=10000, median / p99 / max)",
                    bench::Format("%.4f", s.median) + " / " + bench::Format("%.4f", s.p99) + " / " +
                        bench::Format("%.3f ms", s.max),
                    "goal median <= 0.1 ms", {s.median / AppendGoalMs}, 1.0);
}

// The trend's chart at the size of its window, with a day of history.
void Redraw() {
    History history;
    FillDay(history, true);
    ConfigBlock block = DefaultBlock();
    TTrendChart chart(history, block);
    chart.resize(900, 480);
    chart.SetSpan(History::KeepMs);
    std::vector<double> rebuilds;
    for (int i = 0; i < 10; ++i) {
        const auto before = Clock::now();
        chart.SetSpan(History::KeepMs - i);
        rebuilds.push_back(Ms(Clock::now() - before));
    }
    QImage image(chart.size(), QImage::Format_ARGB32_Premultiplied);
    std::vector<double> paints;
    for (int i = 0; i < 60; ++i) {
        const auto before = Clock::now();
        chart.render(&image);
        paints.push_back(Ms(Clock::now() - before));
    }
    const bench::Summary p = bench::Summarise(paints);
    const bench::Summary r = bench::Summarise(rebuilds);
    std::printf("  redraw: %zu columns for %d px of plot; a new span builds them again from the history "
                "in %.2f ms median\n",
                chart.Reduced().Columns().size(), chart.width(), r.median);
    bench::PrintRow("trend redraw at 24 h, full history, offscreen 900 x 480 (n=60, median / max)",
                    bench::Format("%.2f", p.median) + " / " + bench::Format("%.2f ms", p.max),
                    "goal median <= 16 ms", {p.median / RedrawGoalMs}, 1.0);
    bench::PrintRow("trend span change at 24 h: columns built from 86,400 readings (n=10, median / max)",
                    bench::Format("%.2f", r.median) + " / " + bench::Format("%.2f ms", r.max), "no goal", {},
                    std::nullopt);
    if (const auto charts = ChartsRedrawMs(chart.Reduced(), chart.size())) {
        const bench::Summary c = bench::Summarise(*charts);
        bench::PrintRow(
            "the same columns drawn by Qt Charts (4 QLineSeries in a QChartView, n=60, median / max)",
            bench::Format("%.2f", c.median) + " / " + bench::Format("%.2f ms", c.max),
            "the trend's own chart, no goal", {c.median / p.median}, std::nullopt);
    }
}

bool IdleRun(const QString& simPath, int idleSeconds) {
    const BenchSim sim(simPath);
    if (sim.device().isEmpty())
        return false;
    bool ok = false;
    {
        QTemporaryDir dir(QCoreApplication::applicationDirPath() + QStringLiteral("/idle-XXXXXX"));
        BenchWindow window(sim.device());
        auto* recording = window.Form().findChild<TDataRecording*>();
        if (window.Ok() && recording && recording->StartRecording(dir.filePath(QStringLiteral("idle.csv")))) {
            recording->ShowTrend();
            window.Find<QCheckBox>(QStringLiteral("AutoSend"))->setChecked(true);
            Spin(3000);
            ok = recording->FileRecorder().Lines() > 0;
            if (!ok)
                std::fprintf(stderr, "no readings recorded from quellix-sim\n");
        }
        if (ok) {
            const auto linesBefore = recording->FileRecorder().Lines();
            const IdleCpu idle = MeasureIdle(idleSeconds);
            const double percent = idle.percent();
            std::printf(
                "  idle with trend and recording: %.3f s CPU in %.1f s; %lld lines recorded meanwhile\n",
                idle.cpuSeconds, idle.wallSeconds,
                static_cast<long long>(recording->FileRecorder().Lines() - linesBefore));
            bench::PrintRow(
                "idle CPU, Auto Read on, trend open at 10 min and recording, against quellix-sim, "
                "over " +
                    std::to_string(idleSeconds) + " s",
                bench::Format("%.3f %% of one core", percent),
                bench::Format("goal <= %.0f %%", IdleGoalPercent), {percent / IdleGoalPercent}, 1.0);
        }
    }
    return ok;
}

} // namespace

} // namespace quellix

using namespace quellix;

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Memory first, before the windows' own allocations come and go.
    HistoryMemory();
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QString sim;
    int idleSeconds = 60;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view name = argv[i];
        if (name == "--sim")
            sim = QFileInfo(QString::fromLocal8Bit(argv[i + 1])).absoluteFilePath();
        else if (name == "--idle-seconds")
            idleSeconds = std::max(0, std::atoi(argv[i + 1]));
    }
    Append();
    Redraw();
    bool ok = true;
    if (!sim.isEmpty() && idleSeconds > 0)
        ok = IdleRun(sim, idleSeconds);
    return ok ? 0 : 1;
}
