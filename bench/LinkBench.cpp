// The link as the user meets it: the real main window (offscreen) and its real port on a
// pseudo-terminal. With a peer that answers at once, a download and an upload cannot end sooner than
// 13 x (100 ms pause before each request + 50 ms receive gap after each reply) = 1950 ms, and a
// measurement request cannot be shown sooner than 150 ms after its click; the goal is at most 3 % over
// these floors. Against the simulated unit, the tool's own CPU time with Auto Read on (goal: at most
// 0.5 % of one core). Also the process's peak resident memory, and what following the link costs: the
// link alone, without the window, handling a measurement reply and request with no listener and with one.
// With --monitor, downloads with the Link Monitor closed and open in turn (goal: the median with it open
// within 1 % of the median with it closed).
// Usage: link_bench [--runs N] [--round-trips N] [--sim PATH --idle-seconds S] [--monitor]
#include "BenchSupport.h"
#include "BenchWindow.h"
#include "DeviceLink.h"
#include "PromptPeer.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>
#include <utility>

namespace quellix {

using bench::Clock;
using bench::Ms;

namespace {

constexpr double PauseMs = 100;
constexpr double GapMs = 50;
constexpr int Requests = 13;
constexpr double RequestFloorMs = PauseMs + GapMs;
constexpr double SequenceFloorMs = Requests * RequestFloorMs;
constexpr double OverFloorLimit = 1.03;
constexpr double IdleCpuGoalPercent = 0.5;
constexpr double MonitorOverClosedLimit = 1.01;

struct Options {
    int runs = 5;
    int roundTrips = 20;
    QString sim;
    int idleSeconds = 60;
    bool monitor = false;
};

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        if (name == "--monitor") {
            o.monitor = true;
            continue;
        }
        if (i + 1 >= argc)
            break;
        const char* value = argv[++i];
        if (name == "--runs")
            o.runs = std::max(1, std::atoi(value));
        else if (name == "--round-trips")
            o.roundTrips = std::max(1, std::atoi(value));
        else if (name == "--sim")
            o.sim = QFileInfo(QString::fromLocal8Bit(value)).absoluteFilePath();
        else if (name == "--idle-seconds")
            o.idleSeconds = std::max(0, std::atoi(value));
    }
    return o;
}

// A step's time over its floor; one of more than 10 ms carries the monotonic clock (s) at which it
// ended, to be matched with stalls that other processes saw at the same moment.
std::string Over(double ms, Clock::time_point end) {
    char text[48];
    if (ms > 10)
        std::snprintf(text, sizeof text, "%+.1f@%.3fs", ms, Ms(end.time_since_epoch()) / 1000);
    else
        std::snprintf(text, sizeof text, "%+.1f", ms);
    return text;
}

// A thread beside the runs that sleeps 10 ms at a time and records how late it wakes: the machine's own
// share of every delay in the runs, whatever the tool does.
class WakeUpProbe {
public:
    WakeUpProbe()
        : thread_([this] {
              while (!stop_.IsSignalled()) {
                  const auto before = Clock::now();
                  std::this_thread::sleep_for(std::chrono::milliseconds(10));
                  const auto woke = Clock::now();
                  late_.push_back(Ms(woke - before) - 10);
                  if (late_.back() > 10)
                      stalls_ += ' ' + Over(late_.back(), woke);
              }
          }) {}
    // Stops the probe and prints its stalls over 10 ms; its figures are complete only after this.
    std::vector<double> Stop() {
        stop_.Signal();
        thread_.join();
        std::printf("  the machine: a sleeping thread woke over 10 ms late:%s\n",
                    stalls_.empty() ? " never" : stalls_.c_str());
        return late_;
    }

private:
    EventFd stop_;
    std::vector<double> late_;
    std::string stalls_;
    std::thread thread_;
};

// Stamps each batch the port hands to the window, ahead of the window's own handler.
class DeliveryTap {
public:
    explicit DeliveryTap(BenchWindow& window) {
        auto* port = window.Find<TComPort>(QStringLiteral("ComPort1"));
        auto handler = port->OnReceiveString;
        port->OnReceiveString = [this, handler](const QByteArray& s) {
            stamps_.push_back(Clock::now());
            handler(s);
        };
    }
    std::vector<Clock::time_point> Take() { return std::exchange(stamps_, {}); }

private:
    std::vector<Clock::time_point> stamps_;
};

// Where the time of one run went, from the peer's and the tap's stamps: each reply to its delivery to
// the window (floor: the gap), each delivery to the next request at the peer (floor: the pause), and
// the click to the first request (floor: the pause) and the last delivery to the label shown.
void PrintSteps(const char* what, Clock::time_point click, const std::vector<PromptPeer::Exchange>& log,
                const std::vector<Clock::time_point>& delivered, Clock::time_point shown) {
    if (log.empty() || delivered.size() != log.size()) {
        std::printf("  %s: %zu requests, %zu batches delivered\n", what, log.size(), delivered.size());
        return;
    }
    std::string gaps;
    std::vector<double> gapOver;
    std::vector<double> pauseOver{Ms(log.front().arrived - click) - PauseMs};
    std::string pauses = Over(pauseOver.front(), log.front().arrived);
    for (std::size_t i = 0; i < log.size(); ++i) {
        gapOver.push_back(Ms(delivered[i] - log[i].replied) - GapMs);
        gaps += bench::Format(" %c", log[i].letter) + Over(gapOver.back(), delivered[i]);
        if (i + 1 < log.size()) {
            pauseOver.push_back(Ms(log[i + 1].arrived - delivered[i]) - PauseMs);
            pauses += ' ';
            pauses += Over(pauseOver.back(), log[i + 1].arrived);
        }
    }
    std::printf("  %s: %zu requests; over the gap (reply to delivery) median %+.2f ms, max %+.2f ms; over "
                "the pause (click or delivery to the next request) median %+.2f ms, max %+.2f ms; last "
                "delivery to shown %.2f ms\n    over the gap:%s\n    over the pause: %s\n",
                what, log.size(), bench::Summarise(gapOver).median, bench::Summarise(gapOver).max,
                bench::Summarise(pauseOver).median, bench::Summarise(pauseOver).max,
                Ms(shown - delivered.back()), gaps.c_str(), pauses.c_str());
}

std::vector<double> RoundTrips(BenchWindow& window, PromptPeer& peer, DeliveryTap& tap, int count) {
    auto* button = window.Find<QPushButton>(QStringLiteral("Button12"));
    auto* label = window.Find<QLabel>(QStringLiteral("Raw_1"));
    PaintWatch raw(label);
    std::vector<double> times;
    std::function<void()> slowest;
    for (int i = 0; i < count; ++i) {
        Spin(100);
        peer.TakeLog();
        tap.Take();
        const QString before = label->text();
        raw.Arm([before](const QString& text) { return text != before; });
        const auto click = Clock::now();
        button->click();
        const auto shown = raw.Wait(5000);
        if (!shown) {
            std::fprintf(stderr, "round trip %d: no 'X' shown\n", i);
            return {};
        }
        times.push_back(Ms(*shown - click));
        const auto log = peer.TakeLog();
        const auto delivered = tap.Take();
        if (i == 0)
            PrintSteps("'x' round trip, the first", click, log, delivered, *shown);
        if (times.back() >= *std::max_element(times.begin(), times.end()))
            slowest = [=] { PrintSteps("'x' round trip, the slowest", click, log, delivered, *shown); };
    }
    slowest();
    return times;
}

// Clicks the button and waits for " Complete " to be painted on the status label.
std::vector<double> Sequences(BenchWindow& window, PromptPeer& peer, DeliveryTap& tap, const char* what,
                              const char* button, const char* label, int runs) {
    auto* start = window.Find<QPushButton>(QString::fromLatin1(button));
    PaintWatch status(window.Find<QLabel>(QString::fromLatin1(label)));
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        Spin(300);
        peer.TakeLog();
        tap.Take();
        status.Arm([](const QString& text) { return text == QLatin1String(" Complete "); });
        const auto click = Clock::now();
        start->click();
        const auto shown = status.Wait(20000);
        if (!shown) {
            std::fprintf(stderr, "%s run %d: no \" Complete \" shown\n", what, i);
            return {};
        }
        times.push_back(Ms(*shown - click));
        PrintSteps(what, click, peer.TakeLog(), tap.Take(), *shown);
    }
    return times;
}

void PrintFloorRow(const std::string& what, const std::vector<double>& times, double floorMs) {
    const bench::Summary s = bench::Summarise(times);
    bench::PrintRow(what + " (n=" + std::to_string(s.count) + ", median / max)",
                    bench::Format("%.1f", s.median) + " / " + bench::Format("%.1f ms", s.max),
                    bench::Format("floor %.0f ms, goal <= 3 %% over", floorMs),
                    {s.median / floorMs, s.max / floorMs}, OverFloorLimit);
}

bool LinkRuns(const Options& o) {
    PromptPeer peer;
    if (!peer.Ok()) {
        std::perror("openpty");
        return false;
    }
    BenchWindow window(QString::fromStdString(peer.Path()));
    if (!window.Ok())
        return false;
    window.Find<QCheckBox>(QStringLiteral("AutoSend"))->setChecked(false);
    Spin(500);

    DeliveryTap tap(window);
    WakeUpProbe probe;
    const auto roundTrips = RoundTrips(window, peer, tap, o.roundTrips);
    const auto downloads = Sequences(window, peer, tap, "download", "Button13", "Label8", o.runs);
    const auto uploads = Sequences(window, peer, tap, "upload", "Button14", "Label1", o.runs);
    // Closed and open in turn, so that the machine's drift falls on both alike.
    std::vector<double> unwatched, watched;
    for (int i = 0; o.monitor && i < o.runs; ++i) {
        const auto closed =
            Sequences(window, peer, tap, "download, Link Monitor closed", "Button13", "Label8", 1);
        window.Find<QAction>(QStringLiteral("LinkMonitor1"))->trigger();
        const auto open =
            Sequences(window, peer, tap, "download, Link Monitor open", "Button13", "Label8", 1);
        if (auto* monitor = window.Find<QWidget>(QStringLiteral("LinkMonitor")))
            monitor->close();
        if (closed.empty() || open.empty())
            return false;
        unwatched.push_back(closed.front());
        watched.push_back(open.front());
    }
    const bench::Summary late = bench::Summarise(probe.Stop());
    if (roundTrips.empty() || downloads.empty() || uploads.empty())
        return false;
    PrintFloorRow("'x' click to 'X' shown", roundTrips, RequestFloorMs);
    PrintFloorRow("download, click to \" Complete \" shown", downloads, SequenceFloorMs);
    PrintFloorRow("upload, click to \" Complete \" shown", uploads, SequenceFloorMs);
    if (o.monitor) {
        const double closed = bench::Summarise(unwatched).median;
        const bench::Summary open = bench::Summarise(watched);
        bench::PrintRow("download with the Link Monitor open (n=" + std::to_string(open.count) +
                            ", median / max)",
                        bench::Format("%.1f", open.median) + " / " + bench::Format("%.1f ms", open.max),
                        bench::Format("closed: median %.1f ms, goal <= 1 %% over", closed),
                        {open.median / closed}, MonitorOverClosedLimit);
    }
    bench::PrintRow("the machine: a sleeping thread's wake-up overshoot during the link runs (n=" +
                        std::to_string(late.count) + ", median / p99 / max)",
                    bench::Format("%.2f", late.median) + " / " + bench::Format("%.2f", late.p99) + " / " +
                        bench::Format("%.1f ms", late.max),
                    "no goal: the machine's share of the delays above", {}, std::nullopt);
    return true;
}

// A window that does nothing, so that only the link's own work is timed.
class IdleHost : public LinkHost {
public:
    void pause(int) override {}
    bool write(const std::uint8_t*, std::uint16_t) override { return true; }
    void setReplyTimer(LinkSequence, bool, int) override {}
    void restartStalenessTimer() override {}
    void setStatus(LinkSequence, const std::string&, StatusColour) override {}
    void showVersion(const std::string&) override {}
    std::string uploadText(ItemCode, std::uint8_t) override { return {}; }
    void blockStored() override {}
};

// Nanoseconds for one 'X' reply received and one measurement request sent, by a link with no listener
// and by one followed by a listener that does nothing; medians of runs taken in turns, so that a slower
// moment of the machine falls on both.
std::pair<double, double> LinkCoreNs() {
    constexpr int Runs = 21;
    constexpr int Rounds = 100000;
    ConfigBlock block{};
    IdleHost host;
    DeviceLink alone(block, host), followed(block, host);
    LinkListener nothing;
    followed.addListener(nothing);
    const FrameBytes reply = BuildFrame(Letter::Measurement, std::string(MeasurementPayloadSize, '\x05'));
    const std::string_view batch(reinterpret_cast<const char*>(reply.data()), reply.size());
    const auto time = [&](DeviceLink& link) {
        const auto start = Clock::now();
        for (int i = 0; i < Rounds; ++i) {
            link.receive(batch);
            link.readMeasurements();
        }
        return Ms(Clock::now() - start) * 1e6 / Rounds;
    };
    time(alone);
    time(followed);
    std::vector<double> aloneNs, followedNs;
    for (int run = 0; run < Runs; ++run) {
        aloneNs.push_back(time(alone));
        followedNs.push_back(time(followed));
    }
    return {bench::Summarise(aloneNs).median, bench::Summarise(followedNs).median};
}

void ListenerCost() {
    const auto [alone, followed] = LinkCoreNs();
    bench::PrintRow("the link alone, an 'X' reply and a request handled, no listener (median of 21 x 100000)",
                    bench::Format("%.0f ns", alone), "no goal", {}, std::nullopt);
    bench::PrintRow("the same with one listener that does nothing", bench::Format("%.0f ns", followed),
                    "no goal: the cost of being followed", {followed / alone}, std::nullopt);
}

// The tool with Auto Read on against the simulated unit: its own CPU time (window and port workers)
// over the whole period, with a reading requested and shown every second.
bool IdleRun(const Options& o) {
    const BenchSim sim(o.sim);
    if (sim.device().isEmpty())
        return false;
    bool ok = false;
    {
        BenchWindow window(sim.device());
        if (window.Ok()) {
            window.Find<QCheckBox>(QStringLiteral("AutoSend"))->setChecked(true);
            PaintWatch raw(window.Find<QLabel>(QStringLiteral("Raw_1")));
            raw.Arm([](const QString& text) { return text != QLatin1String("---"); });
            Spin(2000);
            ok = raw.Wait(3000).has_value();
            if (!ok)
                std::fprintf(stderr, "no readings from quellix-sim\n");
        }
        if (ok) {
            const IdleCpu idle = MeasureIdle(o.idleSeconds);
            const double percent = idle.percent();
            const QString shown = window.Find<QLabel>(QStringLiteral("Raw_1"))->text();
            std::printf("  idle: %.3f s CPU in %.1f s; readings still shown at the end: %s\n",
                        idle.cpuSeconds, idle.wallSeconds, shown == QLatin1String("---") ? "no" : "yes");
            bench::PrintRow(
                "idle CPU, Auto Read on against quellix-sim, over " + std::to_string(o.idleSeconds) + " s",
                bench::Format("%.3f %% of one core", percent),
                bench::Format("goal <= %.1f %%", IdleCpuGoalPercent), {percent / IdleCpuGoalPercent}, 1.0);
        }
    }
    return ok;
}

} // namespace

} // namespace quellix

using namespace quellix;

int main(int argc, char** argv) {
    // Offscreen unless told otherwise: the benchmark needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const Options options = ParseOptions(argc, argv);

    ListenerCost();
    bool ok = LinkRuns(options);
    if (ok && !options.sim.isEmpty() && options.idleSeconds > 0)
        ok = IdleRun(options);
    const long peak = bench::PeakResidentKiB();
    bench::PrintRow("peak resident memory of the tool in-process (offscreen), over all link runs",
                    bench::Format("%.1f MiB", peak / 1024.0), "no goal", {}, std::nullopt);
    return ok ? 0 : 1;
}
