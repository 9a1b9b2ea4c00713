// Many link drivers in one thread, as a fleet or a publisher runs them: eight queued drivers, each on
// its own pseudo-terminal with a unit that answers at once, all downloading at the same moment. A
// driver pauses only itself, so each download still cannot end sooner than 13 x (100 ms pause + 50 ms
// receive gap) = 1950 ms; the goal is every download within 3 % of that floor.
//
//   driver_bench [--drivers N] [--runs N]
#include "BenchSupport.h"
#include "LinkDriver.h"
#include "PortSession.h"
#include "PromptPeer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

using namespace quellix;

namespace {

constexpr double SequenceFloorMs = 13 * 150.0;
constexpr double OverFloorLimit = 1.03;

struct Unit {
    PromptPeer peer;
    PortSession session;
    ConfigBlock block = DefaultBlock();
    std::unique_ptr<LinkDriver> driver;
    bench::Clock::time_point done;
};

// One round: every driver starts its download at once; the times from the start to each " Complete ".
std::vector<double> Round(std::vector<std::unique_ptr<Unit>>& units) {
    QEventLoop loop;
    int running = static_cast<int>(units.size());
    bool failed = false;
    for (auto& unit : units) {
        unit->driver->disconnect(&loop);
        QObject::connect(unit->driver.get(), &LinkDriver::sequenceEnded, &loop,
                         [&, u = unit.get()](LinkSequence, StepOutcome outcome) {
                             u->done = bench::Clock::now();
                             failed = failed || outcome != StepOutcome::Complete;
                             if (--running == 0)
                                 loop.quit();
                         });
    }
    QTimer::singleShot(30000, &loop, [&] {
        failed = true;
        loop.quit();
    });
    const auto start = bench::Clock::now();
    for (auto& unit : units)
        unit->driver->startDownload();
    loop.exec();
    if (failed)
        return {};
    std::vector<double> times;
    for (const auto& unit : units)
        times.push_back(bench::Ms(unit->done - start));
    return times;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int drivers = 8;
    int runs = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        if (option == "--drivers")
            drivers = std::max(1, std::atoi(argv[i + 1]));
        else if (option == "--runs")
            runs = std::max(1, std::atoi(argv[i + 1]));
    }
    std::vector<std::unique_ptr<Unit>> units;
    for (int i = 0; i < drivers; ++i) {
        auto unit = std::make_unique<Unit>();
        if (!unit->peer.Ok() || !unit->session.openDevice(QString::fromStdString(unit->peer.Path()))) {
            std::fprintf(stderr, "driver_bench: no pseudo-terminal for driver %d\n", i);
            return 1;
        }
        unit->driver = std::make_unique<LinkDriver>(unit->block, LinkDriver::PauseMode::Queued);
        unit->driver->setPort(unit->session.port());
        units.push_back(std::move(unit));
    }
    std::vector<double> all;
    for (int run = 0; run < runs; ++run) {
        const std::vector<double> times = Round(units);
        if (times.empty()) {
            std::fprintf(stderr, "driver_bench: run %d: a download did not complete\n", run);
            return 1;
        }
        const bench::Summary s = bench::Summarise(times);
        std::printf("  run %d: %d downloads at once, median %.1f ms, max %.1f ms\n", run, drivers, s.median,
                    s.max);
        all.insert(all.end(), times.begin(), times.end());
    }
    const bench::Summary s = bench::Summarise(all);
    bench::PrintRow(std::to_string(drivers) +
                        " queued drivers in one thread, each downloading at once, start to "
                        "\" Complete \" (n=" +
                        std::to_string(s.count) + ", median / max)",
                    bench::Format("%.1f", s.median) + " / " + bench::Format("%.1f ms", s.max),
                    bench::Format("floor %.0f ms, goal <= 3 %% over", SequenceFloorMs),
                    {s.median / SequenceFloorMs, s.max / SequenceFloorMs}, OverFloorLimit);
    return 0;
}
