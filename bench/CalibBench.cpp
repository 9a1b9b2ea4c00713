// Calibration without the link: stability detection on one reading (goal: at most 1 µs, with windows of
// 5, 60 and 1000 readings over noisy readings) and the certificate's PDF from a record (goal: median at
// most 300 ms). Runs offscreen.
// Usage: calib_bench [--runs N]
#include "BenchSupport.h"
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
