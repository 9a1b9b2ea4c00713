// The port session without a window, on pseudo-terminals: which device a port opens, its state and
// why it is not open, the hang-up and the reopening when the device returns, and which opening a
// hang-up belongs to.
#include "PortSession.h"
#include "TtyLinkPort.h"

#include "ComPortPrivate.h"
#include "DeviceLocks.h"
#include "ProcessCounts.h"
#include "TempDir.h"
#include "TestPty.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <stdexcept>
#include <unistd.h>

namespace quellix {

namespace {

// Generous: the tests run beside other builds on a shared machine. A returning device is reopened
// after the watcher's next look (every second) and half a second of settling.
constexpr int WaitMs = 20000;

using State = PortSession::State;

class PortSessionTest : public testing::Test {
protected:
    void SetUp() override {
        savedConfigHome_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        setUnitLineSettings(port);
    }
    void TearDown() override {
        SetStartCommFault(StartCommFault::None);
        qputenv("XDG_CONFIG_HOME", savedConfigHome_);
    }
    void WritePorts(const QString& lines) const {
        config.write("quellix.INI", ("[Ports]\n" + lines).toUtf8());
    }
    // Points the path `node` at a pty's slave, as a /dev/serial/by-id name leads to its device node.
    void Plug(const TestPty& pty) const {
        ::unlink(QFile::encodeName(node).constData());
        if (::symlink(QFile::encodeName(pty.path()).constData(), QFile::encodeName(node).constData()) != 0)
            throw std::runtime_error("cannot link the port's path");
    }
    void Unplug(TestPty& pty) const {
        ::unlink(QFile::encodeName(node).constData());
        pty.closeMaster();
    }
    // Bytes written through the session's port arrive at the pty's master.
    static bool Carries(TComPort& port, const TestPty& pty) {
        if (!port.WriteCommData("ping", 4))
            return false;
        return pty.readWhileEventsRun(4, WaitMs) == "ping";
    }

    TempDir config;
    TempDir devices;
    const QString node = devices.file("ttyUSB0");
    TComPort port;
    PortSession session{port};
    QSignalSpy changes{&session, &PortSession::stateChanged};
    QSignalSpy hangups{&session, &PortSession::hungUp};
    QSignalSpy reopenings{&session, &PortSession::reopened};

private:
    QByteArray savedConfigHome_;
};

State LastState(const QSignalSpy& spy) {
    return spy.isEmpty() ? State::NoPort : spy.last().at(0).value<State>();
}

TEST_F(PortSessionTest, AComNumberOpensItsPortsEntryOrTheSerialPortOfItsNumber) {
    const QMap<QString, QString> ports{{"COM2", "/dev/ttyUSB0"}, {"COM4", "/dev/serial/by-id/usb-x-if00"}};
    const struct {
        int n;
        const char* expected;
    } rows[] = {{1, "/dev/ttyS0"},
                {2, "/dev/ttyUSB0"},
                {3, "/dev/ttyS2"},
                {4, "/dev/serial/by-id/usb-x-if00"},
                {8, "/dev/ttyS7"}};
    for (const auto& row : rows)
        EXPECT_EQ(PortSession::comDevicePath(ports, row.n), QString::fromLatin1(row.expected)) << row.n;
}

TEST_F(PortSessionTest, OpensAComNumberThroughThePortsSectionOrAPlainPathAndStops) {
    TestPty first;
    TestPty second;
    WritePorts("COM3=" + first.path() + "\n");

    ASSERT_TRUE(session.openCom(3));
    EXPECT_EQ(session.state(), State::Open);
    EXPECT_EQ(LastState(changes), State::Open);
    EXPECT_EQ(session.comNumber(), 3);
    EXPECT_EQ(session.devicePath(), first.path());
    EXPECT_EQ(session.statusText(), "COM3 " + first.path() + " open");
    EXPECT_EQ(port.CommPort, TCommPort::Com3);
    EXPECT_TRUE(session.problem().isEmpty());
    EXPECT_TRUE(Carries(port, first));

    ASSERT_TRUE(session.openDevice(second.path()));
    EXPECT_EQ(session.comNumber(), 0);
    EXPECT_EQ(session.statusText(), second.path() + " open");
    EXPECT_TRUE(CanLock(first.path())) << "the previous device is let go";
    EXPECT_TRUE(Carries(port, second));

    const int before = changes.size();
    session.stop();
    EXPECT_EQ(session.state(), State::NoPort);
    EXPECT_EQ(session.statusText(), "No port selected");
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(CanLock(second.path()));
    EXPECT_EQ(changes.size(), before + 1);
    session.stop();
    EXPECT_EQ(changes.size(), before + 1) << "stopping no port changes nothing";
}

TEST_F(PortSessionTest, ADeviceThatDoesNotOpenIsNotOpenWithTheReason) {
    TestPty held;
    const DeviceLockHolder otherProgram(held.path());
    TestPty healthy;
    const QString plainFile = devices.write("plain", "no tty");
    const struct {
        const char* what;
        QString path;
        StartCommFault fault;
        QString reason;
    } rows[] = {
        {"missing", devices.file("absent"), StartCommFault::None,
         devices.file("absent") + ": device not found"},
        {"not a tty", plainFile, StartCommFault::None, plainFile + ": not a serial device"},
        {"held by another program", held.path(), StartCommFault::None,
         held.path() + ": in use by another program"},
        {"no stop signal", healthy.path(), StartCommFault::StopSignal,
         healthy.path() + ": the device could not be opened."},
        {"no receive worker", healthy.path(), StartCommFault::ReadThread,
         healthy.path() + ": the device could not be opened."},
        {"no transmit worker", healthy.path(), StartCommFault::WriteThread,
         healthy.path() + ": the device could not be opened."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        changes.clear();
        const long threads = ThreadCount();
        SetStartCommFault(row.fault);
        EXPECT_FALSE(session.openDevice(row.path));
        SetStartCommFault(StartCommFault::None);
        EXPECT_EQ(session.state(), State::NotOpen);
        EXPECT_EQ(LastState(changes), State::NotOpen);
        EXPECT_EQ(session.statusText(), row.path + " not open");
        EXPECT_TRUE(session.problem().startsWith(row.reason)) << session.problem().toStdString();
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(ThreadCount(), threads);
    }
    EXPECT_TRUE(CanLock(healthy.path()));
    EXPECT_TRUE(session.openDevice(healthy.path()));
}

TEST_F(PortSessionTest, AGoneDeviceIsReopenedOnceWhenItsPathReturns) {
    TestPty plugged;
    Plug(plugged);
    const long idle = ThreadCount();
    ASSERT_TRUE(session.openDevice(node));

    Unplug(plugged);
    ASSERT_TRUE(hangups.wait(WaitMs));
    EXPECT_EQ(session.state(), State::Gone);
    EXPECT_EQ(session.statusText(), node + " gone");
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(QTest::qWaitFor([&] { return ThreadCount() == idle; }, WaitMs)) << "both workers end";

    TestPty replugged;
    Plug(replugged);
    ASSERT_TRUE(reopenings.wait(WaitMs));
    EXPECT_EQ(reopenings.last().at(0).toBool(), true);
    EXPECT_EQ(session.state(), State::Open);
    EXPECT_EQ(LastState(changes), State::Open);
    EXPECT_TRUE(Carries(port, replugged));
    EXPECT_EQ(hangups.size(), 1);
}

TEST_F(PortSessionTest, AReturnThatDoesNotOpenIsNotOpenWithTheReason) {
    TestPty plugged;
    Plug(plugged);
    ASSERT_TRUE(session.openDevice(node));
    Unplug(plugged);
    ASSERT_TRUE(hangups.wait(WaitMs));

    devices.write("ttyUSB0", {});
    ASSERT_TRUE(reopenings.wait(WaitMs));
    EXPECT_EQ(reopenings.last().at(0).toBool(), false);
    EXPECT_EQ(session.state(), State::NotOpen);
    EXPECT_TRUE(session.problem().startsWith(node + ": not a serial device"))
        << session.problem().toStdString();
}

// The previous device's hang-up, posted before a port change and delivered after it, leaves the new
// port alone.
TEST_F(PortSessionTest, TheHangUpOfThePreviousDeviceDoesNotStopTheNextOne) {
    TestPty previous;
    TestPty next;
    const long idle = ThreadCount();
    ASSERT_TRUE(session.openDevice(previous.path()));
    previous.closeMaster();
    // Its receive worker ends right after posting the hang-up, which waits undelivered meanwhile.
    ASSERT_TRUE(WaitForThreadsAtMost(idle + 1));
    ASSERT_TRUE(session.openDevice(next.path()));

    QTest::qWait(300);
    EXPECT_EQ(hangups.size(), 0);
    EXPECT_EQ(session.state(), State::Open);
    EXPECT_TRUE(Carries(port, next));
}

// The new device hangs up while the previous one's hang-up still waits: both are delivered in one go,
// and the new one's counts.
TEST_F(PortSessionTest, AHangUpOfTheNextDeviceRightAfterAChangeIsNotIgnored) {
    TestPty previous;
    TestPty next;
    const long idle = ThreadCount();
    ASSERT_TRUE(session.openDevice(previous.path()));
    previous.closeMaster();
    ASSERT_TRUE(WaitForThreadsAtMost(idle + 1));
    ASSERT_TRUE(session.openDevice(next.path()));
    next.closeMaster();
    ASSERT_TRUE(WaitForThreadsAtMost(idle + 1));

    ASSERT_TRUE(hangups.wait(WaitMs));
    EXPECT_EQ(session.state(), State::Gone);
    EXPECT_EQ(session.devicePath(), next.path());
    EXPECT_FALSE(port.IsOpen());
    QTest::qWait(100);
    EXPECT_EQ(hangups.size(), 1);
}

} // namespace

} // namespace quellix
