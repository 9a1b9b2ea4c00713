// Transmitting over a pseudo-terminal: call order, lengths from 0 to 65535, a closed port, a stop with
// requests queued, and the transmit worker's other requests.
#include "SerialTestSupport.h"

#include "CommTrace.h"
#include "NotifyChannel.h"
#include "PortDevice.h"
#include "TempDir.h"
#include "WriteThread.h"

#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#include <fcntl.h>

namespace quellix {

namespace {

bool Write(TComPort& port, const QByteArray& bytes) {
    return port.WriteCommData(bytes.constData(), static_cast<std::uint16_t>(bytes.size()));
}

class TransmitTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(p.port.StartComm()); }

    PortOnPty p;
};

TEST_F(TransmitTest, BytesOfSeveralCallsGoOutInCallOrder) {
    const QByteArray parts[] = {"first,", "", "second,", QByteArray("\0\x13\x11", 3), "third"};
    for (const QByteArray& part : parts)
        EXPECT_TRUE(Write(p.port, part)) << "queued, also with length 0";
    const QByteArray expected = QByteArray("first,second,") + QByteArray("\0\x13\x11", 3) + "third";
    EXPECT_EQ(p.pty.read(expected.size()), expected);
    EXPECT_TRUE(p.pty.readFor(200ms).isEmpty()) << "nothing more: the empty call sent nothing";
}

TEST_F(TransmitTest, LargestWriteIsCarriedWholeBetweenItsNeighbours) {
    QByteArray large(65535, '\0');
    for (int i = 0; i < large.size(); ++i)
        large[i] = static_cast<char>(i % 251);
    ASSERT_TRUE(Write(p.port, "<"));
    ASSERT_TRUE(Write(p.port, large));
    ASSERT_TRUE(Write(p.port, ">"));
    const QByteArray got = p.pty.read(65537);
    ASSERT_EQ(got.size(), 65537);
    EXPECT_EQ(got, "<" + large + ">");
}

TEST_F(TransmitTest, QueuedWritesAreDroppedAtStop) {
    // Nobody reads the master, so the first request fills the line and the rest wait behind it.
    ASSERT_TRUE(Write(p.port, QByteArray(65535, 'A')));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(Write(p.port, QByteArray(100, 'B')));
    p.port.StopComm();
    const QByteArray got = p.pty.readFor(300ms);
    EXPECT_LT(got.size(), 65535);
    EXPECT_EQ(got.count('B'), 0);
    EXPECT_FALSE(Write(p.port, "late"));
}

TEST(TransmitToggleTest, RtsToggledByTheWriterStillCarriesEveryWrite) {
    // A pseudo-terminal has neither RS-485 mode nor modem lines: the worker toggles RTS itself, and
    // the line calls it makes must not stop the data.
    PortOnPty p;
    p.port.RTSState = TRTSState::RTS_Toggle;
    ASSERT_TRUE(p.port.StartComm());
    ASSERT_TRUE(Write(p.port, "one"));
    ASSERT_TRUE(Write(p.port, ""));
    ASSERT_TRUE(Write(p.port, QByteArray(3000, 'x')));
    EXPECT_EQ(p.pty.read(3003), "one" + QByteArray(3000, 'x'));
}

TEST(TransmitClosedTest, WriteCommDataOnAClosedPortFailsAndTraces) {
    TempDir dir;
    TComPort port;
    SetTraceFileName(dir.file("trace.txt"));
    EXPECT_FALSE(port.WriteCommData("x", 1));
    port.StopComm();
    SetTraceFileName(QString());
    EXPECT_EQ(TempDir::read(dir.file("trace.txt")), QByteArray("Write thread not created\n"))
        << "StopComm on a closed port writes no trace";
}

TEST(TransmitClosedTest, WriteCommDataAfterStopFails) {
    PortOnPty p;
    ASSERT_TRUE(p.port.StartComm());
    p.port.StopComm();
    EXPECT_FALSE(p.port.WriteCommData("x", 1));
}

// The transmit worker's requests besides data, driven on the worker directly since the component's
// owner never issues them.
class WriteThreadTest : public testing::Test {
protected:
    WriteThreadTest()
        : channel([this](const Notification& n) { received.push_back(n); }),
          port(::open(pty.path().toLocal8Bit().constData(), O_RDWR | O_NONBLOCK | O_NOCTTY)),
          writer(port.Get(), stop, channel, false, Opening) {
        writer.Start();
    }

    static constexpr std::uint32_t Opening = 7;
    TestPty pty{TestPty::Ends::MasterAndSlave};
    std::vector<Notification> received;
    NotifyChannel channel;
    UniqueFd port;
    EventFd stop;
    TWriteThread writer;
};

WriteRequest Data(const QByteArray& bytes) {
    return WriteRequest{WriteRequest::Kind::Data, 0, {bytes.begin(), bytes.end()}};
}

WriteRequest Request(WriteRequest::Kind kind, std::uint16_t value = 0) {
    return WriteRequest{kind, value, {}};
}

TEST_F(WriteThreadTest, RequestsAreAnsweredInQueueOrder) {
    using Kind = WriteRequest::Kind;
    ASSERT_TRUE(writer.Post(Data("ab")));
    ASSERT_TRUE(writer.Post(Request(Kind::WriteComplete, 7)));
    ASSERT_TRUE(writer.Post(Request(Kind::ModemStatus)));
    ASSERT_TRUE(writer.Post(Request(Kind::ModemFunction, ModemFunction::SetDtr)));
    ASSERT_TRUE(writer.Post(Request(Kind::ModemFunction, 999)));
    ASSERT_TRUE(writer.Post(Data("cd")));
    ASSERT_TRUE(writer.Post(Request(Kind::WriteComplete, 8)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.size() == 3; }, WaitMs));
    ASSERT_EQ(received[0].kind, Notification::Kind::WriteComplete);
    EXPECT_EQ(received[0].value, 7);
    ASSERT_EQ(received[1].kind, Notification::Kind::CommState);
    EXPECT_EQ(received[1].value, 0) << "a pseudo-terminal has no modem lines";
    ASSERT_EQ(received[2].kind, Notification::Kind::WriteComplete);
    EXPECT_EQ(received[2].value, 8);
    for (const Notification& n : received)
        EXPECT_EQ(n.opening, Opening) << "tagged with the worker's opening";
    // The markers came after the writes before them had been handed to the line.
    EXPECT_EQ(pty.readFor(100ms), QByteArray("abcd"));
}

TEST_F(WriteThreadTest, WriteFailureEndsTheWorkerWithHangup) {
    pty.closeMaster();
    ASSERT_TRUE(writer.Post(Data("lost")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !received.empty(); }, WaitMs));
    EXPECT_EQ(received[0].kind, Notification::Kind::Hangup);
    EXPECT_EQ(received[0].opening, Opening);
    EXPECT_TRUE(writer.WaitForExit(WaitLimit));
    EXPECT_FALSE(writer.Post(Data("more")));
    QTest::qWait(50);
    EXPECT_EQ(received.size(), 1u);
}

} // namespace

} // namespace quellix
