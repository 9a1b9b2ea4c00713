// The port commands against quellix-sim on a pseudo-terminal, run in process as a script would call
// them, and a few through the executable where the process itself matters (signals).
#include "BlockImages.h"
#include "Cli.h"
#include "CliRun.h"
#include "ConfigCompare.h"
#include "ConfigJson.h"
#include "SignalProcess.h"
#include "SimProcess.h"
#include "TempDir.h"
#include "TestPty.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <poll.h>

namespace quellix {

namespace {

// A configuration with what tends to go wrong: Windows-1252 letters, a full-length tag, an empty
// header, a zero flags byte and a disabled channel, negative and missing calibration values.
ConfigBlock unusual() {
    ConfigBlock b = DefaultBlock();
    b.Header1.assign("Kessel \xC4\xD6\xDC \x80");
    b.Header2.assign("");
    b.TagName[0].assign("Boiler Flow");
    b.TagName[1].assign("12345678901234567890");
    b.UnitName[2].assign("m\xB3/h");
    b.UnitName[3].assign("\x81\x8D\x8F\x90\x9D"); // the bytes Windows-1252 leaves undefined
    b.ChannelFlags[0] = 0x00;
    b.ChannelFlags[3] = 0x42;
    b.Calibration[1].Calib1 = -250;
    b.Calibration[2].Measured2 = NoValue;
    return b;
}

class PortCommandsTest : public testing::Test {
protected:
    QString state() const { return dir.file("state.qlx"); }
    QStringList simArgs(const QStringList& extra = {}) const {
        return QStringList{"--state", state()} + extra;
    }

    TempDir dir;
};

} // namespace

// What the unit sends lands in the file byte for byte; the rest comes from the defaults or the base.
TEST_F(PortCommandsTest, ReadSavesWhatTheUnitHolds) {
    dir.write("state.qlx", BlockImage(unusual()));
    SimProcess sim(simArgs({"--log"}), SimProcess::Port::LeaveClosed);
    ASSERT_TRUE(sim.started());

    // info asks for the version alone, and leaves no request behind whose reply a later command
    // would take for its own.
    const CliResult info = runCli({"info", "--port", sim.path()});
    EXPECT_EQ(info.status, 0);
    EXPECT_EQ(info.out, "QX-4 V2.10\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return sim.errorOutput().contains("in  01 76 00"); }, 3000));
    EXPECT_EQ(sim.errorOutput().count("in "), 1) << sim.errorOutput().toStdString();

    ASSERT_EQ(runCli({"read", "--port", sim.path(), "-o", dir.file("unit.qlx")}).status, 0);
    EXPECT_EQ(TempDir::read(dir.file("unit.qlx")), BlockImage(unusual()));

    ASSERT_EQ(runCli({"read", "--port", sim.path(), "-o", dir.file("unit.json")}).status, 0);
    EXPECT_EQ(TempDir::read(dir.file("unit.json")), ConfigToJson(unusual()));

    // A base keeps what the unit does not send.
    ConfigBlock base = DefaultBlock();
    base.Reserved = 0x12345678;
    base.ReservedA[2] = 77;
    dir.write("base.qlx", BlockImage(base));
    ASSERT_EQ(runCli({"read", "--port", sim.path(), "--base", dir.file("base.qlx"), "-o", dir.file("b.qlx")})
                  .status,
              0);
    const ConfigBlock read = BlockFromImage(TempDir::read(dir.file("b.qlx")));
    EXPECT_EQ(read.Reserved, 0x12345678u);
    EXPECT_EQ(read.ReservedA[2], 77);
    EXPECT_TRUE(CompareConfigs(read, unusual(), CompareScope::UnitHeld).empty());
}

// The unit stores what the window would send: every text byte for byte, an empty one as one blank.
TEST_F(PortCommandsTest, WriteStoresTheFileAndVerifiesIt) {
    SimProcess sim(simArgs(), SimProcess::Port::LeaveClosed);
    ASSERT_TRUE(sim.started());
    dir.write("plant.json", ConfigToJson(unusual()));

    const CliResult write = runCli({"--verbose", "write", "--port", sim.path(), dir.file("plant.json")});
    EXPECT_EQ(write.status, 0) << write.err.toStdString();
    // Frames in the Link Monitor's words, texts as sent.
    EXPECT_TRUE(write.err.contains("> 01 73 00  store command\n")) << write.err.toStdString();
    EXPECT_TRUE(write.err.contains("  item write: Tag 1 = 'Boiler Flow'\n")) << write.err.toStdString();
    EXPECT_TRUE(write.err.contains("holds")) << write.err.toStdString();

    ConfigBlock expected = DefaultBlock();
    const ConfigBlock sent = unusual();
    expected.Header1 = sent.Header1;
    expected.Header2.assign(" ");
    for (int i = 0; i < 4; ++i) {
        expected.TagName[i].assign(sent.TagName[i].text());
        expected.UnitName[i].assign(sent.UnitName[i].text());
        expected.ChannelFlags[i] = sent.ChannelFlags[i];
        expected.Calibration[i] = sent.Calibration[i];
    }
    EXPECT_EQ(TempDir::read(state()), BlockImage(expected));

    // Without the check nothing is read back: the store is the last request.
    const CliResult noVerify =
        runCli({"--verbose", "write", "--no-verify", "--port", sim.path(), dir.file("plant.json")});
    EXPECT_EQ(noVerify.status, 0);
    EXPECT_TRUE(noVerify.err.trimmed().endsWith("store acknowledged\nwrote " + dir.file("plant.json") +
                                                " to the unit on " + sim.path()))
        << noVerify.err.toStdString();

    // diff against the unit: what it holds matches the file, an edited file does not.
    EXPECT_EQ(runCli({"diff", "--port", sim.path(), dir.file("plant.json")}).status, 0);
    ConfigBlock edited = unusual();
    edited.Calibration[0].Calib2 = 1234;
    dir.write("edited.qlx", BlockImage(edited));
    const CliResult differs = runCli({"diff", dir.file("edited.qlx"), "--port", sim.path()});
    EXPECT_EQ(differs.status, 1);
    EXPECT_EQ(differs.out, "channel1.point2.value: 1234 -> 1000\n");
}

TEST_F(PortCommandsTest, VerifyCatchesAUnitThatStoresSomethingElse) {
    SimProcess sim(simArgs({"--store-other"}), SimProcess::Port::LeaveClosed);
    ASSERT_TRUE(sim.started());
    dir.write("plant.qlx", BlockImage(unusual()));
    const CliResult write = runCli({"write", "--port", sim.path(), dir.file("plant.qlx")});
    EXPECT_EQ(write.status, 1);
    EXPECT_EQ(write.out, "channel1.tag: \"Boiler Flow\" -> \"Boiler Flo\"\n");
    EXPECT_TRUE(
        write.err.contains("the unit holds something else than " + dir.file("plant.qlx") + " in 1 field"))
        << write.err.toStdString();
}

// Three sends of the first step, two seconds apart, and no file.
TEST_F(PortCommandsTest, AMutedUnitGivesNoAnswerAfterThreeSends) {
    SimProcess sim(simArgs({"--mute"}), SimProcess::Port::LeaveClosed);
    ASSERT_TRUE(sim.started());
    const CliResult read = runCli({"--verbose", "read", "--port", sim.path(), "-o", dir.file("never.qlx")});
    EXPECT_EQ(read.status, 4);
    EXPECT_EQ(read.err.count("> 01 76 00  version request"), 3) << read.err.toStdString();
    EXPECT_TRUE(read.err.contains("the unit did not answer the version request, sent 3 times"));
    EXPECT_FALSE(QFileInfo::exists(dir.file("never.qlx")));
}

TEST_F(PortCommandsTest, WatchPrintsOneLinePerReply) {
    ConfigBlock b = unusual();
    b.ChannelFlags[1] = 0x02; // two decimals
    dir.write("state.qlx", BlockImage(b));
    SimProcess sim(simArgs({"--raw", "100,550,0,1023"}), SimProcess::Port::LeaveClosed);
    ASSERT_TRUE(sim.started());
    const CliResult csv = runCli({"watch", "--port", sim.path(), "--count", "2", "--interval", "0.25"});
    EXPECT_EQ(csv.status, 0) << csv.err.toStdString();
    const QStringList lines = csv.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << csv.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith("Time,Boiler Flow raw,")) << lines[0].toStdString();
    for (const QString& line : lines.mid(1)) {
        const QStringList fields = line.split(',');
        ASSERT_EQ(fields.size(), 9) << line.toStdString();
        EXPECT_EQ(fields[1], "100");
        EXPECT_EQ(fields[3], "550");
        EXPECT_EQ(fields[4], "3.75"); // channel 2: -2.50 at raw 100, 10.00 at 1000
        EXPECT_EQ(fields[8], "");     // channel 4 is disabled
    }
    const CliResult json = runCli({"watch", "--port", sim.path(), "--count", "1", "--format", "json"});
    EXPECT_EQ(json.status, 0);
    EXPECT_TRUE(json.out.startsWith("{")) << json.out.toStdString();
    EXPECT_EQ(json.out.count('\n'), 1);
}

// Usage, port and file failures end before the unit is asked anything, each with its status.
TEST_F(PortCommandsTest, FailuresExitWithTheirStatus) {
    SimProcess sim(simArgs(), SimProcess::Port::LeaveClosed);
    ASSERT_TRUE(sim.started());
    const QString port = sim.path();
    struct Case {
        QStringList args;
        int status;
        const char* err;
    };
    const Case cases[] = {
        {{"info"}, 2, "info needs the unit's port: --port PORT"},
        {{"info", "--port", "COM9"}, 2, "\"COM9\" is no port"},
        {{"info", "--port", port, "--port", port}, 2, "info talks to one port, not 2"},
        {{"read", "--port", port}, 2, "read needs the file to write: -o FILE"},
        {{"write", "--port", port}, 2, "write takes one file, not 0"},
        {{"watch", "--port", port, "--interval", "0.1"}, 2, "--interval takes seconds from 0.25 to 3600"},
        {{"watch", "--port", port, "--count", "0"}, 2, "--count takes a number of lines from 1"},
        {{"watch", "--port", port, "--format", "xml"}, 2, "--format is csv or json, not \"xml\""},
        {{"diff", "--hidden", "--port", port, "DIR/x.qlx"}, 2, "not with --port"},
        {{"info", "--port", "DIR/no-such-tty"},
         3,
         "Error opening com port DIR/no-such-tty: DIR/no-such-tty: device not found"},
        {{"read", "--port", "DIR/state.qlx", "-o", "DIR/x.qlx"}, 3, "not a serial device"},
        {{"write", "--port", port, "DIR/missing.json"}, 5, "missing.json: no such file"},
        {{"read", "--port", port, "--base", "DIR/missing.qlx", "-o", "DIR/x.qlx"},
         5,
         "missing.qlx: no such file"},
        {{"read", "--port", port, "-o", "DIR/no/dir/x.qlx"}, 5, "x.qlx: cannot be written"},
    };
    dir.write("state.qlx", BlockImage(DefaultBlock()));
    for (const Case& c : cases) {
        QStringList args = c.args;
        for (QString& a : args)
            a.replace("DIR", dir.path());
        SCOPED_TRACE(args.join(' ').toStdString());
        const CliResult r = runCli(args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(r.err.contains(QString(c.err).replace("DIR", dir.path()))) << r.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(dir.file("x.qlx")));
    }
}

// Ctrl-C ends a watch with 0, and SIGTERM or any other command with 128 + the signal, the port closed
// and nothing written.
TEST_F(PortCommandsTest, StopSignalsEndCommandsCleanly) {
    SimProcess sim(simArgs(), SimProcess::Port::LeaveClosed);
    SimProcess mute(QStringList{"--mute"}, SimProcess::Port::LeaveClosed);
    ASSERT_TRUE(sim.started() && mute.started());
    struct Case {
        QStringList args;
        int signal;
        int status;
    };
    const Case cases[] = {
        {{"watch", "--port", sim.path(), "--interval", "0.25"}, SIGINT, 0},
        {{"watch", "--port", sim.path()}, SIGTERM, 128 + SIGTERM},
        {{"read", "--port", mute.path(), "-o", dir.file("never.qlx")}, SIGINT, 128 + SIGINT},
        {{"write", "--port", mute.path(), dir.file("state.qlx")}, SIGTERM, 128 + SIGTERM},
    };
    dir.write("state.qlx", BlockImage(DefaultBlock()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        QProcess cli;
        cli.start(QStringLiteral(QUELLIX_CLI_PATH), QStringList{"--verbose"} + c.args);
        ASSERT_TRUE(cli.waitForStarted());
        // Signalled once a watch has printed a reading, the others once their first request is out.
        QByteArray out, err;
        const bool watch = c.args.first() == "watch";
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                out += cli.readAllStandardOutput();
                err += cli.readAllStandardError();
                return watch ? out.count('\n') >= 2 : err.contains("> 01 ");
            },
            15000));
        ASSERT_TRUE(SignalProcess(cli, c.signal));
        ASSERT_TRUE(cli.waitForFinished(5000));
        EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(cli.exitCode(), c.status) << (err + cli.readAllStandardError()).toStdString();
        EXPECT_FALSE(QFileInfo::exists(dir.file("never.qlx")));
    }
    // The ports were let go: they open again at once.
    EXPECT_EQ(runCli({"info", "--port", sim.path()}).status, 0);
}

// A stop signal that comes in the pause before a request: that request is never written.
TEST_F(PortCommandsTest, NoRequestReachesTheUnitAfterAStopSignal) {
    SimProcess sim(simArgs({"--log"}), SimProcess::Port::LeaveClosed);
    ASSERT_TRUE(sim.started());
    QProcess cli;
    cli.start(QStringLiteral(QUELLIX_CLI_PATH), {"read", "--port", sim.path(), "-o", dir.file("never.qlx")});
    // After the first reply the tool waits out the receive gap, then pauses 100 ms before the next request.
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.errorOutput().contains(" out "); }, 15000));
    QThread::msleep(100);
    const qsizetype requests = sim.errorOutput().count(" in ");
    ASSERT_TRUE(SignalProcess(cli, SIGINT));
    ASSERT_TRUE(cli.waitForFinished(5000));
    EXPECT_EQ(cli.exitCode(), 128 + SIGINT);
    QThread::msleep(300);
    EXPECT_EQ(sim.errorOutput().count(" in "), requests) << sim.errorOutput().toStdString();
}

// Items the unit moved on from with 'T' are named; no default stands in for them and nothing is written.
TEST_F(PortCommandsTest, AnItemThatNeverCameIsAnError) {
    SimProcess sim(simArgs({"--advance-every", "5"}), SimProcess::Port::LeaveClosed);
    ASSERT_TRUE(sim.started());
    const CliResult read = runCli({"read", "--port", sim.path(), "-o", dir.file("unit.qlx")});
    EXPECT_EQ(read.status, 4);
    EXPECT_TRUE(read.err.endsWith(": no usable reply came to the item request: Tag 1 (code 22, index 0); "
                                  "item request: Units 2 (code 23, index 1)\n"))
        << read.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.file("unit.qlx")));
}

// Texts of the unit, of files and of other programs reach the terminal with their control characters
// escaped, in results and messages alike. find asks what the "Ports" section names beside the serial
// devices (none in this tree).
TEST_F(PortCommandsTest, ControlCharactersOfTextsAreEscapedInEveryOutput) {
    ConfigBlock b = unusual();
    b.TagName[0].assign("Flow\x1b[2J");
    b.UnitName[0].assign("\x9D"
                         "0;x\x07"); // an OSC: a C1 control once read as Windows-1252
    dir.write("state.qlx", BlockImage(b));
    SimProcess sim(simArgs({"--version", "QX\x1b[31m"}), SimProcess::Port::LeaveClosed);
    ASSERT_TRUE(sim.started() && QDir().mkpath(dir.file("root/dev")));
    ASSERT_TRUE(QFile::link(sim.path(), dir.file("root/dev/unit")));
    const CliSettings settings{dir.write("quellix.INI", "[Ports]\nCOM3=/dev/unit\n"), false,
                               dir.file("root")};
    const QStringList watch{"watch", "--port", sim.path(), "--count", "1"};
    const std::pair<QStringList, QString> cases[] = {
        {{"info", "--port", sim.path()}, "QX\\u001B[31m\n"},
        {{"find"}, "/dev/unit (COM3): unit, version \"QX\\u001B[31m\"\n"},
        {watch, ",Flow\\u001B[2J raw,Flow\\u001B[2J (\\u009D0;x\\u0007),"},
        {watch + QStringList{"--format", "json"}, "\"units\":\"\\u009D0;x\\u0007\""},
        {{"info", "--port", dir.file("no\x1b[2Jtty")},
         "Error opening com port " + dir.file("no\\u001B[2Jtty")},
    };
    for (const auto& [args, shown] : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const CliResult r = runCli(args, settings);
        EXPECT_TRUE((r.out + r.err).contains(shown)) << (r.out + r.err).toStdString();
        for (const QChar ch : r.out + r.err)
            EXPECT_TRUE(ch == u'\n' || ch.category() != QChar::Other_Control) << "U+" << int(ch.unicode());
    }
}

// Against a unit slower than the 2-second reply timer, requests are sent again and both sendings are
// answered: a command takes every item or fails. Where the unit is slow only now and then (every 7th
// request), the second answer to a resent request must move nothing on, or an item goes missing;
// where it is slow throughout, the command fails rather than report what never arrived.
struct LateCase {
    int delayMs;
    int delayEvery;
    QStringList command;
    int status;
};
class LateReplies : public PortCommandsTest, public testing::WithParamInterface<LateCase> {};

TEST_P(LateReplies, EveryItemArrivesOrTheCommandFails) {
    const auto& [delayMs, delayEvery, command, status] = GetParam();
    const bool read = command.first() == "read", done = status == 0;
    ConfigBlock plant = unusual();
    plant.Header2.assign("H2"); // no empty text: what the unit stores is then the file's image
    dir.write(read ? "state.qlx" : "plant.qlx", BlockImage(plant));
    SimProcess sim(
        simArgs({"--reply-delay", QString::number(delayMs), "--delay-every", QString::number(delayEvery)}),
        SimProcess::Port::LeaveClosed);
    ASSERT_TRUE(sim.started());
    const CliResult r =
        runCli(QStringList{"--verbose"} + command + QStringList{"--port", sim.path()} +
               (read ? QStringList{"-o", dir.file("unit.qlx")} : QStringList{dir.file("plant.qlx")}));
    EXPECT_EQ(r.status, status) << r.err.toStdString();
    // The late answer and the answer to the resend may also come close enough to arrive as one batch,
    // which is dropped: then the request goes out a third time. Either way nothing may be missing.
    if (!done) {
        EXPECT_TRUE(r.err.contains("the unit did not answer the ")) << r.err.toStdString();
    }
    const QString result = dir.file(read ? "unit.qlx" : "state.qlx");
    EXPECT_EQ(TempDir::read(result), done ? BlockImage(plant) : QByteArray());
}

INSTANTIATE_TEST_SUITE_P(, LateReplies,
                         testing::Values(LateCase{2050, 7, {"read"}, 0}, LateCase{2050, 7, {"write"}, 0},
                                         LateCase{2500, 1, {"read"}, 4}));

} // namespace quellix
