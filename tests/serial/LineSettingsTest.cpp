// Line settings: what StartComm asks of the tty (seen through the test seam), what a pseudo-terminal
// keeps of it (read back from the tty), the receive gap and the line-error report texts.
#include "SerialTestSupport.h"

#include "CommEvent.h"
#include "LineSettings.h"
#include "Termios2.h"

#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#include <optional>
#include <termios.h>

namespace quellix {

namespace {

constexpr TBaudRate AllRates[] = {
    TBaudRate::____110, TBaudRate::____300, TBaudRate::____600, TBaudRate::___1200, TBaudRate::___2400,
    TBaudRate::___4800, TBaudRate::___9600, TBaudRate::__14400, TBaudRate::__19200, TBaudRate::__38400,
    TBaudRate::__57600, TBaudRate::_115200, TBaudRate::_230400};

// Records what StartComm asks of the tty for as long as it lives.
class RequestedTermios {
public:
    RequestedTermios() {
        SetRequestedTermiosObserver([this](const PortTermios& t) { requests.push_back(t); });
    }
    ~RequestedTermios() { SetRequestedTermiosObserver({}); }
    std::vector<PortTermios> requests;
};

PortTermios ReadBack(const TestPty& pty) {
    PortTermios t;
    EXPECT_TRUE(ReadPortTermios(pty.slave(), t));
    return t;
}

// Starts and stops the component once and returns the one termios it asked for.
std::optional<PortTermios> RequestOf(PortOnPty& p) {
    RequestedTermios seen;
    if (!p.port.StartComm())
        return std::nullopt;
    p.port.StopComm();
    if (seen.requests.size() != 1)
        return std::nullopt;
    return seen.requests.front();
}

TEST(LineSettingsTest, CharacterFormatAndFlowControl) {
    const struct {
        TParity parity;
        TDataBits dataBits;
        TStopBits stopBits;
        TRTSState rts;
        tcflag_t size;
        tcflag_t parityFlags;
        bool cstopb;
        bool crtscts;
    } rows[] = {
        {TParity::None, TDataBits::_8, TStopBits::_1, TRTSState::RTS_Disable, CS8, 0, false, false},
        {TParity::Odd, TDataBits::_7, TStopBits::_2, TRTSState::RTS_Enable, CS7, PARENB | PARODD, true,
         false},
        {TParity::Even, TDataBits::_6, TStopBits::_1, TRTSState::RTS_Handshake, CS6, PARENB, false, true},
        {TParity::Mark, TDataBits::_5, TStopBits::_1_5, TRTSState::RTS_Toggle, CS5, PARENB | PARODD | CMSPAR,
         true, false},
        {TParity::Space, TDataBits::_8, TStopBits::_1_5, TRTSState::RTS_Disable, CS8, PARENB | CMSPAR, true,
         false},
        {TParity::None, TDataBits::_4, TStopBits::_1, TRTSState::RTS_Enable, CS5, 0, false, false},
    };
    for (const auto& row : rows) {
        PortOnPty p;
        p.port.Parity = row.parity;
        p.port.DataBits = row.dataBits;
        p.port.StopBits = row.stopBits;
        p.port.RTSState = row.rts;
        const std::optional<PortTermios> t = RequestOf(p);
        ASSERT_TRUE(t);
        const auto line = static_cast<int>(&row - rows);
        EXPECT_EQ(t->cflag & CSIZE, row.size) << "row " << line;
        EXPECT_EQ(t->cflag & (PARENB | PARODD | CMSPAR), row.parityFlags) << "row " << line;
        EXPECT_EQ((t->cflag & CSTOPB) != 0, row.cstopb) << "row " << line;
        EXPECT_EQ((t->cflag & CRTSCTS) != 0, row.crtscts) << "row " << line;
        // The tty keeps stop bits and flow control; a pseudo-terminal forces 8 bits and no parity.
        const PortTermios kept = ReadBack(p.pty);
        EXPECT_EQ((kept.cflag & CSTOPB) != 0, row.cstopb) << "row " << line;
        EXPECT_EQ((kept.cflag & CRTSCTS) != 0, row.crtscts) << "row " << line;
    }
}

TEST(LineSettingsTest, EveryBitRateIsSetAndReadsBack) {
    for (const TBaudRate rate : AllRates) {
        PortOnPty p;
        p.port.BaudRate = rate;
        RequestedTermios seen;
        ASSERT_TRUE(p.port.StartComm());
        const auto bps = static_cast<std::uint32_t>(BaudRateValue(rate));
        ASSERT_EQ(seen.requests.size(), 1u);
        EXPECT_EQ(PortBitRate(seen.requests[0]), bps);
        EXPECT_EQ(seen.requests[0].ispeed, bps);
        EXPECT_EQ(PortBitRate(ReadBack(p.pty)), bps) << "read back at " << bps;
        p.port.StopComm();
    }
}

TEST(LineSettingsTest, PreviousProgramsModesAreClearedAndParityCheckingKept) {
    PortOnPty p;
    termios dirty{};
    ASSERT_EQ(::tcgetattr(p.pty.slave(), &dirty), 0);
    dirty.c_iflag |= IXON | IXOFF | IXANY | ICRNL | INLCR | ISTRIP | IUCLC | INPCK;
    dirty.c_oflag |= OPOST | ONLCR;
    dirty.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    dirty.c_cflag |= CRTSCTS;
    dirty.c_cflag &= ~static_cast<tcflag_t>(CLOCAL | CREAD);
    dirty.c_cc[VMIN] = 1;
    dirty.c_cc[VTIME] = 5;
    ASSERT_EQ(::tcsetattr(p.pty.slave(), TCSANOW, &dirty), 0);
    p.port.Parity = TParity::Even;

    RequestedTermios seen;
    ASSERT_TRUE(p.port.StartComm());
    ASSERT_EQ(seen.requests.size(), 1u);
    for (const PortTermios& t : {seen.requests[0], ReadBack(p.pty)}) {
        EXPECT_EQ(t.iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | ISTRIP | IUCLC), 0u);
        EXPECT_NE(t.iflag & INPCK, 0u) << "parity checking keeps its state";
        EXPECT_EQ(t.oflag & OPOST, 0u);
        EXPECT_EQ(t.lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
        EXPECT_EQ(t.cflag & CRTSCTS, 0u);
        EXPECT_EQ(t.cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ(t.cc[VMIN], 0);
        EXPECT_EQ(t.cc[VTIME], 0);
    }

    // XON/XOFF and line ends pass untouched both ways.
    const QByteArray controls("\x11\x13\r\n\x7f\x03", 6);
    p.pty.write(controls);
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.log.ByteCount() >= 6; }, WaitMs));
    EXPECT_EQ(p.log.Joined(), controls);
    ASSERT_TRUE(p.port.WriteCommData(controls.constData(), 6));
    EXPECT_EQ(p.pty.read(6), controls);
}

TEST(LineSettingsTest, SettingsChangedOnAnOpenPortWaitForTheNextStart) {
    PortOnPty p;
    p.port.BaudRate = TBaudRate::___9600;
    ASSERT_TRUE(p.port.StartComm());
    p.port.BaudRate = TBaudRate::__19200;
    EXPECT_EQ(PortBitRate(ReadBack(p.pty)), 9600u);
    p.port.StopComm();
    ASSERT_TRUE(p.port.StartComm());
    EXPECT_EQ(PortBitRate(ReadBack(p.pty)), 19200u);
}

TEST(ReceiveGapTest, AutoDelayFollowsTheBitRate) {
    const int expected[] = {2283, 843, 427, 218, 114, 62, 36, 27, 23, 17, 14, 12, 11};
    const int rates[] = {110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200, 230400};
    for (std::size_t i = 0; i < std::size(AllRates); ++i) {
        EXPECT_EQ(BaudRateValue(AllRates[i]), rates[i]);
        EXPECT_EQ(ReceiveGapMs(TRxDelay::Auto_delay, AllRates[i]), expected[i]) << rates[i];
    }
}

TEST(ReceiveGapTest, FixedDelaysIgnoreTheBitRate) {
    const struct {
        TRxDelay delay;
        int ms;
    } rows[] = {{TRxDelay::_250, 250}, {TRxDelay::_200, 200}, {TRxDelay::_150, 150},
                {TRxDelay::_100, 100}, {TRxDelay::__50, 50},  {TRxDelay::__40, 40},
                {TRxDelay::__30, 30},  {TRxDelay::__20, 20},  {TRxDelay::__10, 10}};
    for (const auto& row : rows)
        for (const TBaudRate rate : AllRates)
            EXPECT_EQ(ReceiveGapMs(row.delay, rate), row.ms);
}

TEST(CommEventTextTest, NamesTheErrorFlags) {
    const struct {
        std::uint32_t word;
        const char* text;
    } rows[] = {
        {0, "Comm Event: NULL Error, EvtMask = 0"},
        {CommError::Frame, "Comm Event: CE_FRAME, EvtMask = 8"},
        {CommError::Overrun, "Comm Event: CE_OVERRUN, EvtMask = 2"},
        {CommError::RxParity, "Comm Event: CE_RXPARITY, EvtMask = 4"},
        {12, "Comm Event: CE_FRAME and CE_RXPARITY, EvtMask = 12"},
        {14, "Comm Event: CE_FRAME and CE_OVERRUN and CE_RXPARITY, EvtMask = 14"},
        {1, "Comm Event: EV_ERR Unknown EvtMask, EvtMask = 1"},
        {0x18, "Comm Event: CE_FRAME and EV_ERR Unknown EvtMask, EvtMask = 24"},
        {0xFFFFFFFF, "Comm Event: CE_FRAME and CE_OVERRUN and CE_RXPARITY and EV_ERR Unknown EvtMask, "
                     "EvtMask = 4294967295"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CommEventText(row.word), row.text);
}

} // namespace

} // namespace quellix
