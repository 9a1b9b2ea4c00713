// The real tool, headless, against the real simulated unit: the window opens the simulator's
// pseudo-terminal as its COM1, and what the unit holds, receives and measures is checked from both ends.
// Replies may be dropped and resent along the way (a reply that shares a receive batch with another is
// dropped by design), so the tests wait for outcomes and never count on a single exchange.
#include "BlockImages.h"
#include "E2eFixture.h"
#include "SimProcess.h"

#include <QCheckBox>
#include <QFile>

#include <cstring>
#include <memory>
#include <vector>

namespace quellix {

namespace {

constexpr int SequenceTimeoutMs = 60000;

// A unit whose every downloadable field differs from the defaults: texts at full length, a
// Windows-1252 degree sign, a zero and a disabled flag byte, negative and missing calibration values.
ConfigBlock DistinctUnit() {
    ConfigBlock b = DefaultBlock();
    b.Header1.assign("Boiler House North 7");
    b.Header2.assign("Feed line \xB0"
                     "C");
    const char* const tags[] = {"Flow In", "Return Temp", "Pressure Drum 123456", "T"};
    // The degree sign in Windows-1252, then a C kept apart from the hex escape.
    const char* const units[] = {"m3/h",
                                 ("\xB0"
                                  "C"),
                                 "bar abs", "kPa1234567"};
    for (int i = 0; i < 4; ++i) {
        b.TagName[i].assign(tags[i]);
        b.UnitName[i].assign(units[i]);
    }
    const std::uint8_t flags[] = {0x02, 0x00, 0x43, 0x01};
    std::memcpy(b.ChannelFlags, flags, sizeof flags);
    b.Calibration[0] = {12, -500, 1011, 2500};
    b.Calibration[1] = {0, 0, 1023, 32767};
    b.Calibration[2] = {NoValue, 1, 2, 3};
    b.Calibration[3] = {-7, -32767, 900, 12};
    return b;
}

// The fields a download fills, compared as the user would see them differ.
void ExpectDownloadedFields(const ConfigBlock& got, const ConfigBlock& want) {
    EXPECT_EQ(got.Header1.text(), want.Header1.text());
    EXPECT_EQ(got.Header2.text(), want.Header2.text());
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE("channel " + std::to_string(i + 1));
        EXPECT_EQ(got.TagName[i].text(), want.TagName[i].text());
        EXPECT_EQ(got.UnitName[i].text(), want.UnitName[i].text());
        EXPECT_EQ(int(got.ChannelFlags[i]), int(want.ChannelFlags[i]));
        const auto& g = got.Calibration[i];
        const auto& w = want.Calibration[i];
        EXPECT_EQ((std::vector<int>{g.Measured1, g.Calib1, g.Measured2, g.Calib2}),
                  (std::vector<int>{w.Measured1, w.Calib1, w.Measured2, w.Calib2}));
    }
}

// The simulator's log lines without their time stamps: "in  01 76 00", "out 01 56 ...".
QStringList Traffic(SimProcess& sim) {
    QStringList lines;
    for (const QString& line : sim.errorOutput().split('\n', Qt::SkipEmptyParts))
        lines << line.trimmed().section(' ', 1);
    return lines;
}

class SimE2e : public E2eTest {
protected:
    // Starts a simulator with `args`; the window opens its line, so the test leaves it closed.
    SimProcess& StartSim(const QStringList& args) {
        sims.push_back(std::make_unique<SimProcess>(args, SimProcess::Port::LeaveClosed));
        EXPECT_TRUE(sims.back()->started()) << args.join(' ').toStdString();
        return *sims.back();
    }
    // Starts the window on the simulator's line; no message may come up.
    void StartOnSim(const SimProcess& sim) {
        StartOn(sim.path());
        EXPECT_TRUE(user->messages.isEmpty()) << user->messages.join(", ").toStdString();
    }
    bool WaitForStatus(const QString& label, const QString& caption, int timeoutMs = SequenceTimeoutMs) {
        return QTest::qWaitFor([&] { return Text(label) == caption; }, timeoutMs);
    }
    // Closes the window and reads the autosave file it wrote.
    ConfigBlock CloseAndReadAutosave() {
        Close();
        return BlockFromImage(TempDir::read(AutosavePath()));
    }

    TempDir unit; // the simulated unit's state files
    std::vector<std::unique_ptr<SimProcess>> sims;
};

TEST_F(SimE2e, DownloadBringsTheUnitsConfigurationIntoTheBlock) {
    const ConfigBlock held = DistinctUnit();
    auto& sim = StartSim({"--state", unit.write("unit.qlx", Image(held)), "--version", "QX-4 E2E 3.1"});
    StartOnSim(sim);
    Click("Button13");
    ASSERT_TRUE(WaitForStatus("Label8", " Complete "));
    EXPECT_EQ(Colour("Label8"), "#008000");
    EXPECT_EQ(Text("swVersion"), "Software version: QX-4 E2E 3.1");
    EXPECT_EQ(Text("Tag_3"), "Pressure Drum 123456");
    EXPECT_EQ(Text("Units_2"), "\u00B0C");
    ExpectDownloadedFields(CloseAndReadAutosave(), held);
}

TEST_F(SimE2e, UploadThenDownloadFromAFreshUnitReturnsWhatWasSent) {
    ConfigBlock sent = DistinctUnit();
    sent.TagName[1].assign("");
    start.write("quellix.ini", Image(sent));
    const QString state = unit.file("unit.qlx");

    auto& first = StartSim({"--state", state});
    StartOnSim(first);
    ASSERT_EQ(Text("Tag_2"), "");
    Click("Button14");
    ASSERT_TRUE(WaitForStatus("Label1", " Complete "));
    EXPECT_EQ(Colour("Label1"), "#008000");
    Close();
    EXPECT_EQ(first.terminate(), 0);

    // A fresh unit on the stored state, and a window that starts on the defaults.
    ASSERT_TRUE(QFile::remove(AutosavePath()));
    auto& fresh = StartSim({"--state", state});
    StartOnSim(fresh);
    ASSERT_EQ(Text("Header_1"), "Header Data");
    Click("Button13");
    ASSERT_TRUE(WaitForStatus("Label8", " Complete "));
    ConfigBlock expected = sent;
    expected.TagName[1].assign(" "); // an empty text travels as one blank
    ExpectDownloadedFields(CloseAndReadAutosave(), expected);
}

TEST_F(SimE2e, AutoReadShowsTheUnitsMeasuredValues) {
    // The window keeps its default decimals (1, 2, 3 and 0 places); the unit scales each channel
    // differently, and channel 3 has equal raw points, so it has no measured value.
    ConfigBlock held = DistinctUnit();
    held.Calibration[0] = {0, 0, 1000, 2000};
    held.Calibration[1] = {0, 0, 1000, -1000};
    held.Calibration[2] = {5, 1, 5, 2};
    held.Calibration[3] = {100, 100, 1000, 1000};
    auto& sim =
        StartSim({"--state", unit.write("unit.qlx", Image(held)), "--raw", "100,300,600,900", "--log"});
    StartOnSim(sim);
    Find<QCheckBox>("AutoSend")->setChecked(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Text("MeasuredValue_1").trimmed() == "20.0"; }, 20000));
    const char* const measured[] = {"20.0", "-3.00", "---", "900"};
    const char* const raw[] = {"100", "300", "600", "900"};
    for (int n = 1; n <= 4; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(Text(QString("MeasuredValue_%1").arg(n)).trimmed(), measured[n - 1]);
        EXPECT_EQ(Text(QString("Raw_%1").arg(n)).trimmed(), raw[n - 1]);
    }
    // The readings keep coming, each asked for with the short request.
    EXPECT_TRUE(QTest::qWaitFor([&] { return Traffic(sim).count("in  01 78 00") >= 3; }, 20000));
    EXPECT_EQ(Traffic(sim).filter("01 78 0A").size(), 0);
    EXPECT_EQ(Text("Raw_4").trimmed(), "900") << "still shown, not marked stale";
}

// Faults of the line that the link rides out: replies in two pieces, requests going unanswered.
struct LineFault {
    const char* name;
    QStringList options;
    bool resends; // whether requests must have gone unanswered and been sent again
};

void PrintTo(const LineFault& fault, std::ostream* out) {
    *out << fault.name;
}

class SimLineFault : public SimE2e, public testing::WithParamInterface<LineFault> {};

TEST_P(SimLineFault, DownloadAndUploadStillComplete) {
    const LineFault& fault = GetParam();
    TempDir dir;
    const ConfigBlock held = DistinctUnit();
    const QString state = dir.write("unit.qlx", Image(held));
    auto& sim = StartSim(fault.options + QStringList{"--state", state, "--log"});
    StartOnSim(sim);

    Click("Button13");
    ASSERT_TRUE(WaitForStatus("Label8", " Complete "));
    ExpectDownloadedFields(form->Block, held);

    // The upload carries an edit through the same faults into the unit's stored state.
    TypeIntoLabel("Tag_1", "Edited");
    ASSERT_EQ(Text("Tag_1"), "Edited");
    Click("Button14");
    ASSERT_TRUE(WaitForStatus("Label1", " Complete "));
    ConfigBlock expected = held;
    expected.TagName[0].assign("Edited");
    ExpectDownloadedFields(BlockFromImage(TempDir::read(state)), expected);

    const QStringList traffic = Traffic(sim);
    EXPECT_EQ(traffic.filter("(left unanswered)").isEmpty(), !fault.resends)
        << traffic.join('\n').toStdString();
}

// One test each, so that the slow resends run beside other tests.
INSTANTIATE_TEST_SUITE_P(, SimLineFault,
                         testing::Values(LineFault{"SplitReplies", {"--split-replies"}, false},
                                         LineFault{"DroppedRequests", {"--drop-every", "7"}, true}),
                         [](const testing::TestParamInfo<LineFault>& info) {
                             return std::string(info.param.name);
                         });

} // namespace

} // namespace quellix
