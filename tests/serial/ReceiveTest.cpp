// Receiving over a pseudo-terminal: batch boundaries, content, order and the end of a vanished device.
#include "SerialTestSupport.h"

#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#include <thread>

namespace quellix {

namespace {

QByteArray Pattern(int size, int seed = 0) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + seed) % 256);
    return bytes;
}

class ReceiveTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(p.port.StartComm()); }

    PortOnPty p;
};

TEST_F(ReceiveTest, ContinuousBurstComesInBatchesOfAHundredThenANewBatch) {
    const QByteArray burst = Pattern(250);
    p.pty.write(burst);
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.log.ByteCount() >= 250; }, WaitMs));
    ASSERT_EQ(p.log.batches.size(), 3u);
    EXPECT_EQ(p.log.batches[0].size(), 100);
    EXPECT_EQ(p.log.batches[1].size(), 100);
    EXPECT_EQ(p.log.batches[2].size(), 50);
    EXPECT_EQ(p.log.Joined(), burst);

    const QByteArray reply = Pattern(30, 3);
    p.pty.write(reply);
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.log.batches.size() == 4; }, WaitMs));
    EXPECT_EQ(p.log.batches[3], reply);
}

TEST_F(ReceiveTest, LoneByteIsDeliveredAloneOnceTheGapHasPassed) {
    const auto written = std::chrono::steady_clock::now();
    p.pty.write("Q");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.log.batches.empty(); }, WaitMs));
    QTest::qWait(300);
    ASSERT_EQ(p.log.batches.size(), 1u);
    EXPECT_EQ(p.log.batches[0], QByteArray("Q"));
    // Never before the gap: the batch could not know it was complete.
    EXPECT_GE(p.log.batchTimes[0] - written, 100ms);
}

TEST_F(ReceiveTest, ZeroBytesAreKeptInBothEvents) {
    const QByteArray bytes("\0A\0\0B\0", 6);
    p.pty.write(bytes);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.log.batches.empty(); }, WaitMs));
    ASSERT_EQ(p.log.batches.size(), 1u);
    EXPECT_EQ(p.log.batches[0], bytes);
    ASSERT_EQ(p.log.dataBlocks.size(), 1u);
    EXPECT_EQ(p.log.dataBlocks[0], bytes);
    EXPECT_EQ(p.log.order, (std::vector<char>{'d', 's'}));
}

TEST_F(ReceiveTest, BatchesFormedWhileTheOwnerIsBusyArriveInOrder) {
    const std::vector<QByteArray> sent = {Pattern(30, 1), Pattern(100, 2), Pattern(7, 3), Pattern(1, 4)};
    // The owner's thread handles no events meanwhile; each pause is far longer than the gap.
    for (const QByteArray& bytes : sent) {
        p.pty.write(bytes);
        std::this_thread::sleep_for(600ms);
    }
    EXPECT_TRUE(p.log.batches.empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.log.batches.size() >= sent.size(); }, WaitMs));
    QTest::qWait(200);
    EXPECT_EQ(p.log.batches, sent);
}

TEST_F(ReceiveTest, BatchesPostedBeforeStopAreStillDeliveredAfterIt) {
    const QByteArray bytes = Pattern(42, 5);
    p.pty.write(bytes);
    // Without running the event loop: the batch is formed and posted, not yet delivered, at the stop.
    std::this_thread::sleep_for(800ms);
    p.port.StopComm();
    EXPECT_FALSE(p.port.IsOpen());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.log.batches.empty(); }, WaitMs));
    EXPECT_EQ(p.log.batches, std::vector<QByteArray>{bytes});
}

TEST_F(ReceiveTest, VanishedDeviceEndsWithHangupAndStopCleansUp) {
    p.pty.write("ab");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.log.batches.empty(); }, WaitMs));
    p.pty.closeMaster();
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.log.hangups > 0; }, WaitMs));
    EXPECT_EQ(p.log.batches, std::vector<QByteArray>{"ab"});
    // The transmit worker fails on its next write; from then on nothing more is queued.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.port.WriteCommData("x", 1); }, WaitMs));
    EXPECT_TRUE(p.port.IsOpen());
    p.port.StopComm();
    EXPECT_FALSE(p.port.IsOpen());
    QTest::qWait(100);
    EXPECT_EQ(p.log.batches, std::vector<QByteArray>{"ab"});
    EXPECT_EQ(p.log.hangups, 2) << "one from each worker";
}

TEST_F(ReceiveTest, ComponentDestroyedWhileReceivingStopsItsWorkers) {
    auto port = std::make_unique<TComPort>();
    TestPty other{TestPty::Ends::MasterAndSlave};
    port->SetDevicePaths({{QStringLiteral("COM2"), other.path()}});
    port->CommPort = TCommPort::Com2;
    int received = 0;
    port->OnReceiveString = [&received](const QByteArray&) { ++received; };
    ASSERT_TRUE(port->StartComm());
    other.write(Pattern(150));
    port.reset();
    QTest::qWait(300);
    EXPECT_EQ(received, 0) << "nothing is delivered to a destroyed component";
}

} // namespace

} // namespace quellix
