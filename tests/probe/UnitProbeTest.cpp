#include "UnitProbe.h"
#include "SimProcess.h"
#include "TempDir.h"
#include "TestPty.h"

#include <QSignalSpy>
#include <QSocketNotifier>
#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

namespace quellix {

namespace {

// Everything the test's end of the pseudo-terminal has received, waiting up to `ms` for the first byte.
QByteArray drain(int master, int ms) {
    QByteArray got;
    pollfd p{master, POLLIN, 0};
    while (::poll(&p, 1, got.isEmpty() ? ms : 100) > 0 && (p.revents & POLLIN)) {
        char buffer[256];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        got.append(buffer, n);
    }
    return got;
}

} // namespace

// Units, a device that is no unit, devices that cannot be opened, a device skipped and one given
// twice: each reported for itself, all within one probe.
TEST(UnitProbeTest, TellsEachDeviceApart) {
    SimProcess unitA(QStringList{"--version", "QX-4 A"}, SimProcess::Port::LeaveClosed);
    SimProcess unitB(QStringList{"--version", "QX-4 B"}, SimProcess::Port::LeaveClosed);
    ASSERT_TRUE(unitA.started() && unitB.started());
    TestPty other;
    TestPty skipped;
    TempDir dir;
    const QString file = dir.write("plain.txt", "text");
    const QString link = dir.file("unit-link");
    ASSERT_TRUE(QFile::link(unitA.path(), link));

    struct Case {
        QString path;
        ProbeResult::Outcome outcome;
        QString text; // the version, or part of the reason
    };
    const Case cases[] = {
        {unitA.path(), ProbeResult::Outcome::Unit, "QX-4 A"},
        {other.path(), ProbeResult::Outcome::NoAnswer, ""},
        {unitB.path(), ProbeResult::Outcome::Unit, "QX-4 B"},
        {dir.file("no-such-tty"), ProbeResult::Outcome::NotProbed, "no-such-tty: device not found"},
        {file, ProbeResult::Outcome::NotProbed, "plain.txt: not a serial device"},
        {skipped.path(), ProbeResult::Outcome::Skipped, "open here"},
        {link, ProbeResult::Outcome::Unit, "QX-4 A"},
    };
    QStringList paths;
    for (const Case& c : cases)
        paths << c.path;

    UnitProbe probe;
    probe.setSkipped({{skipped.path(), "open here"}});
    QSignalSpy finished(&probe, &UnitProbe::finished);
    QSignalSpy ready(&probe, &UnitProbe::resultReady);
    probe.start(paths);
    ASSERT_TRUE(finished.wait(ProbeTimeLimitMs + 2000));
    EXPECT_EQ(ready.count(), static_cast<int>(std::size(cases)));
    EXPECT_FALSE(probe.isRunning());

    const QList<ProbeResult>& results = probe.results();
    ASSERT_EQ(results.size(), static_cast<qsizetype>(std::size(cases)));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const ProbeResult& r = results[static_cast<qsizetype>(i)];
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(r.path, c.path);
        EXPECT_EQ(r.outcome, c.outcome);
        if (c.outcome == ProbeResult::Outcome::Unit)
            EXPECT_EQ(r.version, c.text);
        else
            EXPECT_TRUE(r.reason.contains(c.text)) << r.reason.toStdString();
    }
    // The device that is no unit received the version request and nothing more; the skipped one
    // nothing at all.
    EXPECT_EQ(drain(other.master(), 500).toHex(' '), "01 76 00");
    EXPECT_EQ(drain(skipped.master(), 200), QByteArray());
}

// A loopback plug sends the request back: a frame, but no version reply.
TEST(UnitProbeTest, AnEchoedRequestIsNoAnswer) {
    TestPty loopback;
    QSocketNotifier echo(loopback.master(), QSocketNotifier::Read);
    QObject::connect(&echo, &QSocketNotifier::activated, &echo, [&] {
        char buffer[64];
        const ssize_t n = ::read(loopback.master(), buffer, sizeof buffer);
        if (n > 0) {
            EXPECT_EQ(::write(loopback.master(), buffer, static_cast<std::size_t>(n)), n);
        }
    });
    const QList<ProbeResult> results = probeUnits({loopback.path()});
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results[0].outcome, ProbeResult::Outcome::NoAnswer);
}

TEST(UnitProbeTest, AnEmptyListFinishesAtOnce) {
    UnitProbe probe;
    QSignalSpy finished(&probe, &UnitProbe::finished);
    probe.start({});
    EXPECT_EQ(finished.count(), 1);
    EXPECT_TRUE(probeUnits({}).isEmpty());
}

} // namespace quellix
