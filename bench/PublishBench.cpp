// quellix-cli publish with many units, as a plant runs it: N quellix-sim units on pseudo-terminals
// read through one publisher into a mosquitto broker on loopback, a subscriber receiving every state.
//   steady: the publisher's CPU time over S seconds (goal at most 3 % of one core), its resident
//           memory (goal at most 100 MB), and the latency from the reading taken (the time in its
//           state) to the subscriber receiving it (goal median at most 10 ms);
//   catch-up: a backlog of R readings per unit left in the queues, as ten minutes of broker outage
//           leave them, sent after a start (goal at most 30 s from the start to the last one received).
//
//   publish_bench [--units N] [--seconds S] [--backlog R]
#include "BenchSupport.h"
#include "BlockFile.h"
#include "ReadingQueue.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

using namespace quellix;

namespace {

constexpr double CpuGoalPercent = 3;
constexpr double MemoryGoalMiB = 100;
constexpr double LatencyGoalMs = 10;
constexpr double CatchUpGoalS = 30;

QString Built(const QString& relative) {
    return QCoreApplication::applicationDirPath() + "/../" + relative;
}

std::unique_ptr<QProcess> Start(const QString& program, const QStringList& args, const QString& output = {}) {
    auto p = std::make_unique<QProcess>();
    if (!output.isEmpty())
        p->setStandardOutputFile(output);
    p->start(program, args);
    p->waitForStarted();
    return p;
}

void Stop(QProcess& p) {
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(10000))
        p.kill();
    p.waitForFinished(2000);
}

// CPU seconds the process has used so far (user + system), from /proc.
double CpuSeconds(qint64 pid) {
    QFile f(QString("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = f.readAll().split(')').last().trimmed().split(' ');
    // After the command: state is field 3, utime 14 and stime 15.
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

// Waits until `done` or `ms` have passed, with the event loop running.
template <typename Done> bool WaitFor(Done done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    return done();
}

struct Received {
    double atMs;         // when the subscriber had it, ms since the epoch
    std::int64_t timeMs; // the reading's time
};

// The subscriber's lines "SECONDS.NANOSECONDS {state}".
std::vector<Received> ReadStates(const QString& file) {
    std::vector<Received> out;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const int at = line.indexOf(" {");
        const int time = line.indexOf("\"time\":\"");
        if (at < 0 || time < 0)
            continue;
        const QString text = QString::fromUtf8(line.mid(time + 8, 29));
        out.push_back({line.left(at).toDouble() * 1000,
                       QDateTime::fromString(text, Qt::ISODateWithMs).toMSecsSinceEpoch()});
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int units = 64, seconds = 60, backlog = 600;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        (option == "--units" ? units : option == "--seconds" ? seconds : backlog) = std::atoi(argv[i + 1]);
    }
    QTemporaryDir dir;
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const QString port = QString::number(probe.serverPort());
    probe.close();
    QFile conf(dir.filePath("mosquitto.conf"));
    conf.open(QIODevice::WriteOnly);
    conf.write(QString("user root\nlistener %1 127.0.0.1\nallow_anonymous true\nmax_queued_messages 0\n")
                   .arg(port)
                   .toUtf8());
    conf.close();
    auto broker = Start("mosquitto", {"-c", conf.fileName()});

    QString error;
    const QString templateFile = dir.filePath("unit.qlx");
    SaveBlockFile(DefaultBlock(), templateFile,
                  [](const QString& message) { std::fprintf(stderr, "%s\n", qPrintable(message)); });
    QByteArray inventory = "name,port,config\n";
    std::vector<std::unique_ptr<QProcess>> sims;
    for (int u = 0; u < units; ++u) {
        sims.push_back(Start(Built("sim/quellix-sim"), {"--seed", QString::number(u)}));
        sims.back()->waitForReadyRead(10000);
        inventory +=
            QString("u%1,%2,unit.qlx\n").arg(u).arg(QString(sims.back()->readLine().trimmed())).toUtf8();
    }
    QFile inv(dir.filePath("units.csv"));
    inv.open(QIODevice::WriteOnly);
    inv.write(inventory);
    inv.close();

    qputenv("STATE_DIRECTORY", dir.filePath("queues").toUtf8());
    const QStringList publishArgs{"publish", "--inventory", inv.fileName(), "--broker",
                                  "mqtt://127.0.0.1:" + port};
    const QString states = dir.filePath("states.log");
    auto sub =
        Start("mosquitto_sub",
              {"-h", "127.0.0.1", "-p", port, "-q", "1", "-t", "quellix/+/state", "-F", "%U %p"}, states);

    // Steady state: warm up until every unit has published, then measure.
    auto publisher = Start(Built("src/cli/quellix-cli"), publishArgs);
    const qint64 pid = publisher->processId();
    WaitFor([&] { return ReadStates(states).size() >= std::size_t(units) * 3; }, 30000);
    QThread::sleep(2);
    const double cpuBefore = CpuSeconds(pid);
    const double measureFrom = QDateTime::currentMSecsSinceEpoch();
    WaitFor([] { return false; }, seconds * 1000);
    const double cpu = (CpuSeconds(pid) - cpuBefore) / seconds * 100;
    const double rssMiB = bench::PeakResidentKiB(static_cast<int>(pid)) / 1024.0;
    std::vector<double> latencies;
    std::size_t steadyStates = 0;
    for (const Received& r : ReadStates(states)) {
        if (r.timeMs >= measureFrom) {
            latencies.push_back(r.atMs - static_cast<double>(r.timeMs));
            ++steadyStates;
        }
    }
    Stop(*publisher);
    const bench::Summary latency = bench::Summarise(latencies);
    std::printf("%d units for %d s: %zu states, CPU %.2f %% of one core, peak RSS %.1f MiB, latency median "
                "%.2f ms, p99 %.2f ms, max %.2f ms\n",
                units, seconds, steadyStates, cpu, rssMiB, latency.median, latency.p99, latency.max);

    // Catch-up: the backlog of an outage, older than anything published, then a start.
    const std::int64_t backlogStart = QDateTime::currentMSecsSinceEpoch() - 3600 * 1000;
    for (int u = 0; u < units; ++u) {
        auto queue = ReadingQueue::Open(dir.filePath("queues"), QString("u%1").arg(u),
                                        ReadingQueue::DefaultCapacity, &error);
        for (int n = 0; queue && n < backlog; ++n) {
            Reading r;
            r.msecsSinceEpoch = backlogStart + n * 1000;
            r.raw = {1, 2, 3, 4};
            r.shown = {10, 20, 30, 40};
            queue->Append(r, false, {});
        }
    }
    const QString caughtUp = dir.filePath("catchup.log");
    auto catchSub =
        Start("mosquitto_sub",
              {"-h", "127.0.0.1", "-p", port, "-q", "1", "-t", "quellix/+/state", "-F", "%U %p"}, caughtUp);
    QThread::sleep(1);
    const double startedAt = QDateTime::currentMSecsSinceEpoch();
    publisher = Start(Built("src/cli/quellix-cli"), publishArgs);
    const auto backlogCount = [&] {
        double last = 0;
        std::size_t n = 0;
        for (const Received& r : ReadStates(caughtUp)) {
            if (r.timeMs < backlogStart + backlog * 1000) {
                ++n;
                last = std::max(last, r.atMs);
            }
        }
        return std::make_pair(n, last);
    };
    const std::size_t expected = std::size_t(units) * backlog;
    WaitFor([&] { return backlogCount().first >= expected; }, 120000);
    const auto [arrived, lastAt] = backlogCount();
    const double catchUpS = (lastAt - startedAt) / 1000;
    std::printf("catch-up: %zu of %zu queued readings received, the last %.1f s after the start\n", arrived,
                expected, catchUpS);
    Stop(*publisher);
    Stop(*catchSub);
    Stop(*sub);
    for (auto& sim : sims)
        Stop(*sim);
    Stop(*broker);

    const std::string n = std::to_string(units);
    bench::PrintRow("publish, " + n + " units: CPU of one core over " + std::to_string(seconds) + " s",
                    bench::Format("%.2f %%", cpu), "goal <= 3 %", {cpu / CpuGoalPercent}, 1.0);
    bench::PrintRow("publish, " + n + " units: peak resident memory", bench::Format("%.1f MiB", rssMiB),
                    "goal <= 100 MB", {rssMiB * 1.048576 / MemoryGoalMiB}, 1.0);
    bench::PrintRow(
        "publish, " + n + " units: reading taken to subscriber (n=" + std::to_string(latency.count) +
            ", median / p99)",
        bench::Format("%.2f", latency.median) + " / " + bench::Format("%.2f", latency.p99) + " ms",
        "goal median <= 10 ms", {latency.median / LatencyGoalMs}, 1.0);
    bench::PrintRow("publish, catch-up of " + std::to_string(expected) + " queued readings",
                    arrived < expected ? "incomplete" : bench::Format("%.1f s", catchUpS), "goal <= 30 s",
                    {arrived < expected ? 99.0 : catchUpS / CatchUpGoalS}, 1.0);
    return 0;
}
