// The link end to end: the real window and port on a pseudo-terminal, the bytes on the wire checked
// exactly against a peer scripted by each test.
#include "DownloadRequests.h"
#include "E2eFixture.h"

#include <algorithm>
#include <chrono>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

namespace quellix {

namespace {

std::vector<std::string> HexFrames(const std::vector<ReceivedFrame>& frames, char letter = 0) {
    std::vector<std::string> hex;
    for (const auto& f : frames)
        if (letter == 0 || f.bytes[1] == letter)
            hex.push_back(Hex(f.bytes));
    return hex;
}

std::size_t Count(const std::vector<ReceivedFrame>& frames, char letter) {
    return HexFrames(frames, letter).size();
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// A unit with contents of its own, so that a download visibly changes the block.
std::optional<Bytes> UnitWithContents(const Bytes& request) {
    switch (request[1]) {
    case 'v':
        return Frame('V', Text("4.2"));
    case 'c': {
        Bytes table;
        for (int i = 0; i < 16; ++i) {
            table.push_back(static_cast<std::uint8_t>(10 + i));
            table.push_back(0);
        }
        return Frame('C', table);
    }
    case 'p': {
        const std::uint8_t index = request[3], code = request[4];
        const Bytes content = code == 24 ? Bytes{0, 0x41, 2, 3}
                                         : Text(code == 20   ? "Boiler"
                                                : code == 21 ? "House 2"
                                                : code == 22 ? "Flow " + std::to_string(index + 1)
                                                             : "m3/h");
        Bytes payload;
        payload.push_back(index);
        payload.push_back(code);
        for (const std::uint8_t byte : content)
            payload.push_back(byte);
        return Frame('P', payload);
    }
    default:
        return PromptUnit(request);
    }
}

const std::string DefaultTable = "64 00 64 00 E8 03 E8 03";

class LinkE2e : public E2eTest {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        ASSERT_TRUE(peer.ok());
        StartOn(peer.path());
        ASSERT_TRUE(user->messages.isEmpty()) << user->messages.join(", ").toStdString();
        // The first paint lays out and renders every text of the window, for tens of milliseconds;
        // done here, it does not hold up the peer's reading of a request whose time is measured.
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        QTest::qWait(200);
    }
    bool WaitForStatus(const QString& label, const QString& caption, int timeoutMs) {
        return QTest::qWaitFor([&] { return Text(label) == caption; }, timeoutMs);
    }
    PtyPeer peer;
};

TEST_F(LinkE2e, DownloadWithPromptRepliesFillsTheBlock) {
    peer.Answer = UnitWithContents;
    Click("Button13");
    EXPECT_FALSE(Find<QAction>("Undo1")->isEnabled()) << "the download goes on filling the block";
    ASSERT_TRUE(WaitForStatus("Label8", " Complete ", 15000));
    EXPECT_EQ(Colour("Label8"), "#008000");
    EXPECT_EQ(HexFrames(peer.frames()), DownloadRequests);
    EXPECT_EQ(Text("swVersion"), "Software version: 4.2");
    EXPECT_EQ(Text("Header_1"), "Boiler");
    EXPECT_EQ(Text("Header_2"), "House 2");
    EXPECT_EQ(Text("Tag_3"), "Flow 3");
    EXPECT_EQ(Text("Units_4"), "m3/h");
    QTest::qWait(300); // the flags reply is stored right after " Complete "
    EXPECT_EQ(std::vector<int>(form->Block.ChannelFlags, form->Block.ChannelFlags + 4),
              (std::vector<int>{0, 0x41, 2, 3}));
    EXPECT_EQ(form->Block.Calibration[3].Calib2, 25);

    // Undo brings back what the download replaced.
    EXPECT_EQ(form->statusBar()->currentMessage(), "Configuration read from the unit \u2014 Ctrl+Z to undo");
    Trigger("Undo1");
    EXPECT_EQ(Image(form->Block), Image(Defaults()));
    EXPECT_EQ(Text("Tag_3"), "Tag 3");
}

TEST_F(LinkE2e, UploadWithPromptAcknowledgementsSendsTheConfiguration) {
    peer.Answer = PromptUnit;
    Click("Button14");
    ASSERT_TRUE(WaitForStatus("Label1", " Complete ", 15000));
    EXPECT_EQ(Colour("Label1"), "#008000");
    EXPECT_EQ(HexFrames(peer.frames()),
              (std::vector<std::string>{
                  "01 71 07 00 16 54 61 67 20 31",
                  "01 71 07 01 16 54 61 67 20 32",
                  "01 71 07 02 16 54 61 67 20 33",
                  "01 71 07 03 16 54 61 67 20 34",
                  "01 71 06 00 17 75 6E 69 74",
                  "01 71 06 01 17 75 6E 69 74",
                  "01 71 06 02 17 75 6E 69 74",
                  "01 71 06 03 17 75 6E 69 74",
                  "01 71 0D 00 14 48 65 61 64 65 72 20 44 61 74 61",
                  "01 71 11 00 15 41 64 64 69 74 69 6F 6E 61 6C 20 49 6E 66 6F",
                  "01 71 06 07 18 01 02 03 04",
                  "01 62 20 " + DefaultTable + " " + DefaultTable + " " + DefaultTable + " " + DefaultTable,
                  "01 73 00",
              }));
}

// The designed times, measured on the wire. Each resend follows the 2000 ms reply timer and the 100 ms
// pause; " Error " follows the third sending by the reply timer alone. The lower bounds leave 40 ms for
// the peer reading a request late, and fail on a timer that may fire 5 % early.
TEST_F(LinkE2e, SilentUnitGetsThreeRequestsAtTheDesignedTimesThenError) {
    const struct {
        const char* button;
        const char* label;
        std::string request;
    } cases[] = {{"Button13", "Label8", "01 76 00"}, {"Button14", "Label1", "01 71 07 00 16 54 61 67 20 31"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        peer.clearFrames();
        Click(c.button);
        ASSERT_TRUE(WaitForStatus(c.label, " Error ", 15000));
        const qint64 errorAt = peer.elapsedMs();
        EXPECT_EQ(Colour(c.label), "#ff0000");
        const auto frames = peer.frames();
        ASSERT_EQ(HexFrames(frames), (std::vector<std::string>(3, c.request)));
        for (const std::size_t i : {1u, 2u}) {
            const qint64 gap = frames[i].atMs - frames[i - 1].atMs;
            qCInfo(lcE2eTiming, "resend gap %lld ms", gap);
            EXPECT_GE(gap, 2060) << "resend " << i;
            EXPECT_LE(gap, 3000) << "resend " << i;
        }
        const qint64 lag = errorAt - frames[2].atMs;
        qCInfo(lcE2eTiming, "error lag %lld ms", lag);
        EXPECT_GE(lag, 1960);
        EXPECT_LE(lag, 3000);
        QTest::qWait(2500);
        EXPECT_EQ(peer.frames().size(), 3u) << "nothing more is sent";
    }
}

// Where the monotonic clock, which Qt's timers run on, stands within its current period, in ms.
qint64 ClockPhaseMs(int periodMs) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::milliseconds>(now).count() % periodMs;
}

// Auto Read ticked before the window shows: the auto read timer runs from the window's making, so its
// first ticks already ask. The window is made a third of the way into a half second of the monotonic
// clock: a timer that may fire 5 % early (Qt's coarse kind) steps back 50 ms a tick from there to the
// half second, asking 950 ms apart; a precise one asks every 1000 ms from its first tick. Only the auto
// read runs, so no other request's pause delays a tick.
TEST_F(E2eTest, AutoReadAsksOnceASecondFromItsFirstTick) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    peer.Answer = PromptUnit;
    WriteFormState("[TForm1]\nCom_1_Checked=True\n[Ports]\nCOM1=" + peer.path() + "\n");
    ASSERT_TRUE(QTest::qWaitFor([] { return ClockPhaseMs(500) >= 150 && ClockPhaseMs(500) < 170; }, 2000));
    Create();
    qCInfo(lcE2eTiming, "window made by %lld ms into a half second", ClockPhaseMs(500));
    Find<QCheckBox>("AutoSend")->setChecked(true);
    form->show();
    ASSERT_TRUE(user->messages.isEmpty()) << user->messages.join(", ").toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Count(peer.frames(), 'x') >= 6; }, 15000));
    const auto frames = peer.frames();
    ASSERT_EQ(HexFrames(frames), std::vector<std::string>(frames.size(), "01 78 00"));
    for (std::size_t i = 1; i < frames.size(); ++i) {
        const qint64 period = frames[i].atMs - frames[i - 1].atMs;
        qCInfo(lcE2eTiming, "auto-read period %lld ms", period);
        EXPECT_GE(period, 970) << "request " << i;
        EXPECT_LE(period, 2000) << "request " << i;
    }
}

TEST_F(LinkE2e, AutoReadPausesDuringAnUploadAndGoesOnDuringADownload) {
    peer.Answer = UnitWithContents;
    Find<QCheckBox>("AutoSend")->setChecked(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Count(peer.frames(), 'x') >= 1; }, 5000));

    // Each sequence takes about two seconds, so the one-second auto read falls inside it.
    peer.clearFrames();
    Click("Button14");
    ASSERT_TRUE(WaitForStatus("Label1", " Complete ", 15000));
    // An auto read written just before the click, or in the same event batch that shows " Complete ",
    // is not part of the upload: only the frames from the first item write to the store request are.
    const auto frames = HexFrames(peer.frames());
    const auto first = std::find_if(frames.begin(), frames.end(),
                                    [](const std::string& f) { return f.starts_with("01 71"); });
    const auto store = std::find(first, frames.end(), "01 73 00");
    ASSERT_NE(store, frames.end());
    const std::vector<std::string> upload(first, store + 1);
    EXPECT_EQ(upload.size(), 13u);
    EXPECT_EQ(std::count_if(upload.begin(), upload.end(),
                            [](const std::string& f) { return f.starts_with("01 78"); }),
              0)
        << "no measurement request while the upload runs";
    EXPECT_TRUE(QTest::qWaitFor([&] { return Count(peer.frames(), 'x') >= 1; }, 5000)) << "auto read resumes";

    peer.clearFrames();
    Click("Button13");
    // The peer answers on the window's thread, so a sequence reply and an auto read's reply can go out
    // together; the tool drops such a batch whole, as designed, and may run out of resends.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Text("Label8") == " Complete " || Text("Label8") == " Error "; },
                                30000));
    EXPECT_GE(Count(peer.frames(), 'x'), 1u) << "auto read goes on during a download";
    EXPECT_GE(Count(peer.frames(), 'p'), Text("Label8") == " Complete " ? 11u : 1u);
}

// The reply goes out just after a quarter past a whole second of the monotonic clock. A timer that may
// fire 5 % early (Qt's coarse kind) moves a 5000 ms timeout started then back to the whole second, up to
// 250 ms early; a precise one fires 5000 ms after the reply arrived, 50 ms receive gap after it was sent.
TEST_F(LinkE2e, ReadingsTurnStaleFiveSecondsAfterTheLastReply) {
    Click("Button12");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !peer.frames().empty(); }, 5000));
    EXPECT_EQ(HexFrames(peer.frames()), (std::vector<std::string>{"01 78 0A 07 01 00 00 00 00 00 00 00 00"}));
    ASSERT_TRUE(QTest::qWaitFor([] { return ClockPhaseMs(1000) >= 220 && ClockPhaseMs(1000) < 280; }, 3000));
    const qint64 sentAt = peer.elapsedMs();
    peer.send(Frame('X', {0x10, 0, 0x20, 0, 0x30, 0, 0x40, 0, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x80, 0x01, 0}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Text("Raw_1").trimmed() == "16"; }, 2000));
    EXPECT_EQ(Text("Raw_4").trimmed(), "64");
    EXPECT_EQ(Text("MeasuredValue_1").trimmed(), "-0.1"); // channel 1 has one decimal place
    EXPECT_EQ(Text("MeasuredValue_3"), "---");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Text("Raw_1") == "---"; }, 9000));
    const qint64 staleness = peer.elapsedMs() - sentAt;
    qCInfo(lcE2eTiming, "staleness %lld ms", staleness);
    EXPECT_GE(staleness, 4970);
    EXPECT_LE(staleness, 7000);
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(Text(QString("Raw_%1").arg(n)), "---");
        EXPECT_EQ(Text(QString("MeasuredValue_%1").arg(n)), "---");
    }
}

TEST_F(LinkE2e, EmptyTagGoesAsABlankAndZeroFlagBytesAreCarried) {
    EditLabel("Tag_1", [](TForm2& dialog) {
        dialog.Edit2->clear();
        QTest::keyClick(dialog.Edit2, Qt::Key_Return);
    });
    ASSERT_EQ(Text("Tag_1"), "");
    const std::uint8_t flags[] = {0x00, 0x41, 0x02, 0x00};
    std::copy(std::begin(flags), std::end(flags), form->Block.ChannelFlags);
    peer.Answer = PromptUnit;
    Click("Button14");
    ASSERT_TRUE(WaitForStatus("Label1", " Complete ", 15000));
    const auto frames = HexFrames(peer.frames());
    ASSERT_EQ(frames.size(), 13u);
    EXPECT_EQ(frames[0], "01 71 03 00 16 20");
    EXPECT_EQ(frames[10], "01 71 06 07 18 00 41 02 00");
}

// What a monitor beside the window hears of one measurement: the request, the reply and its readings.
TEST_F(LinkE2e, ListenerBesideTheWindowHearsTheLink) {
    struct Heard : LinkListener {
        void FrameSent(std::string_view frame, int) override {
            sent.push_back(Hex(Bytes(frame.begin(), frame.end())));
        }
        void FrameDispatched(char letter, std::string_view) override { letters += letter; }
        void ReadingsTaken(ChannelValues raw, ChannelValues displayed, ChannelFlagBytes) override {
            readings = {raw[0], displayed[3]};
        }
        std::vector<std::string> sent;
        std::string letters;
        std::vector<int> readings;
    } heard;
    form->addLinkListener(heard);
    peer.Answer = [](const Bytes& request) -> std::optional<Bytes> {
        if (request[1] != 'x')
            return std::nullopt;
        return Frame('X', {0x10, 0, 0x20, 0, 0x30, 0, 0x40, 0, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x80, 0x01, 0});
    };
    Click("Button12");
    const bool taken = QTest::qWaitFor([&] { return !heard.readings.empty(); }, 5000);
    form->removeLinkListener(heard);
    ASSERT_TRUE(taken);
    EXPECT_EQ(heard.sent, (std::vector<std::string>{"01 78 0A 07 01 00 00 00 00 00 00 00 00"}));
    EXPECT_EQ(heard.letters, "X");
    EXPECT_EQ(heard.readings, (std::vector<int>{16, 1}));
}

} // namespace

} // namespace quellix
