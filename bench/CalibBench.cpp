// Calibration without the link: stability detection on one reading (goal: at most 1 µs, with windows of
// 5, 60 and 1000 readings over noisy readings), the time from the stability window's last reading to
// the test point recorded (the wizard adds no wait of its own: the point is taken on that reading), and
// the certificate's PDF from a record (goal: median at most 300 ms). Runs offscreen.
// Usage: calib_bench [--runs N]
#include "BenchSupport.h"
#include "CalibrationRun.h"
#include "Certificate.h"
#include "SampleRecord.h"
#include "Stability.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <random>
#include <string>

namespace quellix {

using bench::Clock;
using bench::Ms;

namespace {

constexpr double ReadingGoalUs = 1;
constexpr double CertificateGoalMs = 300;

// Nanoseconds per reading over a million noisy readings, the detector restarted every 50,000.
double NsPerReading(int window) {
    StabilityDetector detector({window, 4, 3000, 2500});
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> noise(-3, 3);
    std::vector<std::int16_t> values(1 << 16);
    for (auto& v : values)
        v = static_cast<std::int16_t>(512 + noise(rng));
    constexpr int Readings = 1'000'000;
    long stable = 0;
    const auto start = Clock::now();
    for (int i = 0; i < Readings; ++i) {
        if (i % 50000 == 0)
            detector.Restart(std::int64_t(i) * 1000);
        stable += detector.Add(values[std::size_t(i) & 0xFFFF], std::int64_t(i) * 1000).stable();
    }
    const double ns = Ms(Clock::now() - start) * 1e6 / Readings;
    std::printf("  window %d: %.1f ns a reading, %ld stable\n", window, ns, stable);
    return ns;
}

// Microseconds from the window's last reading to the point recorded, per test point: each point is
// applied, waited for over its window of 5 readings, and recorded on the last one.
std::vector<double> PointRecordedUs(int points) {
    CalibrationSetup setup;
    setup.flags = 0x01;
    setup.before = {0, 0, 1000, 1000};
    setup.stability = {5, 0, 0, 2500};
    setup.percents.assign(std::size_t(points), 50 * MicrosPerUnit);
    QString error;
    std::optional<CalibrationRun> run = CalibrationRun::Start(setup, QDateTime::currentDateTime(), &error);
    std::vector<double> times;
    std::int64_t now = 0;
    for (int p = 0; p < points; ++p) {
        run->Apply(500 * MicrosPerUnit / 10, now);
        for (int i = 0; i < 4; ++i)
            run->TakeDisplayed(500, now += 1000);
        const auto start = Clock::now();
        const bool recorded = run->TakeDisplayed(500, now += 1000);
        times.push_back(Ms(Clock::now() - start) * 1000);
        if (!recorded)
            std::fprintf(stderr, "point %d was not recorded on its window's last reading\n", p);
    }
    return times;
}

} // namespace

} // namespace quellix

using namespace quellix;

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    int runs = 10;
    if (argc == 3 && std::string_view(argv[1]) == "--runs")
        runs = std::max(1, std::atoi(argv[2]));

    for (const int window : {5, 60, 1000}) {
        const double ns = NsPerReading(window);
        bench::PrintRow("Stability detection, one reading, window of " + std::to_string(window),
                        bench::Format("%.3f µs", ns / 1000), bench::Format("goal <= %.0f µs", ReadingGoalUs),
                        {ns / 1000 / ReadingGoalUs}, 1.0);
    }

    const bench::Summary point = bench::Summarise(PointRecordedUs(1000));
    bench::PrintRow("Test point recorded after the window's last reading (n=" + std::to_string(point.count) +
                        ", median / max)",
                    bench::Format("%.2f", point.median) + bench::Format(" / %.2f µs", point.max),
                    "on that reading, no wait of its own", {}, std::nullopt);

    QTemporaryDir dir;
    const CalibrationRecord record = SampleRecord();
    std::vector<double> times;
    for (int i = 0; i < 2 * runs; ++i) {
        const auto start = Clock::now();
        QString error;
        if (!WriteCertificatePdf(record, dir.filePath(QStringLiteral("certificate.pdf")), &error)) {
            std::fprintf(stderr, "certificate failed: %s\n", qPrintable(error));
            return 1;
        }
        times.push_back(Ms(Clock::now() - start));
    }
    const bench::Summary s = bench::Summarise(times);
    bench::PrintRow("Certificate PDF from a record (n=" + std::to_string(s.count) + ", median / max)",
                    bench::Format("%.1f", s.median) + bench::Format(" / %.1f ms", s.max),
                    bench::Format("goal median <= %.0f ms", CertificateGoalMs),
                    {s.median / CertificateGoalMs}, 1.0);
    return 0;
}
