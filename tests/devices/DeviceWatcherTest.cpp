#include "DeviceWatcher.h"
#include "FakeTree.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace quellix {

namespace {

// Generous: the watcher polls every 20 ms here, so this only runs out when a signal never comes.
constexpr int kPatienceMs = 5000;
constexpr int kFastPollMs = 20;

bool WaitForCount(const QSignalSpy& spy, qsizetype count) {
    return QTest::qWaitFor([&] { return spy.size() >= count; }, kPatienceMs);
}

struct WatchedTree {
    FakeTree tree;
    DeviceWatcher watcher;

    WatchedTree() : watcher(Prepared(tree)) {
        watcher.setPollInterval(kFastPollMs);
        watcher.setSettleDelay(kFastPollMs);
    }
    static QString Prepared(const FakeTree& tree) {
        tree.writeFile("/sys/devices/platform/serial8250/tty/ttyS0/uevent", "DEVNAME=ttyS0\n");
        tree.makeLink("/sys/class/tty/ttyS0", "../../devices/platform/serial8250/tty/ttyS0");
        tree.makeDir("/dev");
        return tree.root();
    }
};

TEST(DeviceWatcher, ReportsDevicesComingAndGoing) {
    WatchedTree w;
    QSignalSpy changed(&w.watcher, &DeviceWatcher::devicesChanged);
    const struct {
        const char* what;
        std::function<void(const FakeTree&)> change;
    } steps[] = {
        {"adapter plugged in",
         [](const FakeTree& t) {
             t.writeFile("/dev/ttyUSB0");
             t.makeLink("/sys/class/tty/ttyUSB0", "../../devices/usb1/1-2/1-2:1.0/ttyUSB0/tty/ttyUSB0");
             t.makeLink("/dev/serial/by-id/usb-FTDI-if00-port0", "../../ttyUSB0");
         }},
        {"re-plugged under another node",
         [](const FakeTree& t) {
             t.writeFile("/dev/ttyUSB1");
             t.remove("/dev/serial/by-id/usb-FTDI-if00-port0");
             t.makeLink("/dev/serial/by-id/usb-FTDI-if00-port0", "../../ttyUSB1");
         }},
        {"adapter unplugged",
         [](const FakeTree& t) {
             t.remove("/dev/serial");
             t.remove("/sys/class/tty/ttyUSB0");
         }},
    };
    qsizetype expected = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.change(w.tree);
        ++expected;
        EXPECT_TRUE(WaitForCount(changed, expected));
        // One change is reported once, however many entries it touched.
        changed.wait(5 * kFastPollMs);
        EXPECT_EQ(changed.size(), expected);
    }
}

TEST(DeviceWatcher, ReportsAWatchedPathVanishingAndReturning) {
    WatchedTree w;
    w.tree.writeFile("/dev/ttyUSB0");
    w.watcher.watchPath("/dev/ttyUSB0");
    w.watcher.watchPath("/dev/serial/by-id/usb-FTDI-if00-port0");
    QSignalSpy appeared(&w.watcher, &DeviceWatcher::pathAppeared);
    QSignalSpy vanished(&w.watcher, &DeviceWatcher::pathVanished);

    w.tree.remove("/dev/ttyUSB0");
    ASSERT_TRUE(WaitForCount(vanished, 1));
    EXPECT_EQ(vanished.at(0).at(0).toString(), "/dev/ttyUSB0");
    EXPECT_EQ(appeared.size(), 0) << "a path present when watched is not reported as appearing";

    w.tree.writeFile("/dev/ttyUSB0");
    w.tree.makeLink("/dev/serial/by-id/usb-FTDI-if00-port0", "../../ttyUSB0");
    ASSERT_TRUE(WaitForCount(appeared, 2));
    QStringList paths{appeared.at(0).at(0).toString(), appeared.at(1).at(0).toString()};
    paths.sort();
    EXPECT_EQ(paths, QStringList({"/dev/serial/by-id/usb-FTDI-if00-port0", "/dev/ttyUSB0"}));
    appeared.wait(5 * kFastPollMs);
    EXPECT_EQ(appeared.size(), 2) << "an appearance is reported once";
    EXPECT_EQ(vanished.size(), 1);
}

// A receiver of a vanished path typically drops it and watches another name: the watcher's own table
// changes under it, enough to grow it, while it is telling.
TEST(DeviceWatcher, LetsReceiversChangeTheWatchedPathsWhileBeingTold) {
    WatchedTree w;
    w.tree.writeFile("/dev/ttyUSB0");
    w.tree.writeFile("/dev/ttyUSB1");
    w.watcher.watchPath("/dev/ttyUSB0");
    w.watcher.watchPath("/dev/ttyUSB1");
    QStringList told;
    QObject receiver;
    QObject::connect(&w.watcher, &DeviceWatcher::pathVanished, &receiver, [&](const QString& path) {
        told << path;
        for (const QString& p : w.watcher.watchedPaths())
            w.watcher.unwatchPath(p);
        for (int i = 0; i < 200; ++i)
            w.watcher.watchPath(QStringLiteral("/dev/ttyACM%1").arg(i));
    });
    QSignalSpy vanished(&w.watcher, &DeviceWatcher::pathVanished);

    w.tree.remove("/dev/ttyUSB0");
    w.tree.remove("/dev/ttyUSB1");
    ASSERT_TRUE(WaitForCount(vanished, 1));
    EXPECT_EQ(w.watcher.watchedPaths().size(), 200);
    EXPECT_FALSE(told.isEmpty());
}

} // namespace

} // namespace quellix
