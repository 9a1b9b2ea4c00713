#include "DeviceLocks.h"
#include "SimProcess.h"
#include "TempDir.h"
#include "TestPty.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QtCore/qtestsupport_core.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace quellix {

namespace {

Bytes itemRequest(std::uint8_t index, std::uint8_t code) {
    return {0x01, 'p', 0x0A, index, code, 0, 0, 0, 0, 0, 0, 0, 0};
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes itemWrite(std::uint8_t index, std::uint8_t code, const std::string& s) {
    return Frame('q', Bytes{index, code} + text(s));
}

Bytes int16s(std::initializer_list<int> values) {
    Bytes out;
    for (const int v : values) {
        out.push_back(static_cast<std::uint8_t>(v & 0xFF));
        out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    }
    return out;
}

const Bytes defaultTable =
    int16s({100, 100, 1000, 1000, 100, 100, 1000, 1000, 100, 100, 1000, 1000, 100, 100, 1000, 1000});

} // namespace

TEST(SimulatorRequests, AnswersEveryRequestKind) {
    SimProcess sim({"--version", "V9.9", "--raw", "10,200,512,1023"});
    ASSERT_TRUE(sim.started());
    struct Case {
        const char* what;
        Bytes request;
        Bytes reply;
    };
    const Case cases[] = {
        {"version", Frame('v'), Frame('V', text("V9.9"))},
        {"calibration", Frame('c'), Frame('C', defaultTable)},
        {"header 1", itemRequest(0, 20), Frame('P', Bytes{0, 20} + text("Header Data"))},
        {"header 2", itemRequest(0, 21), Frame('P', Bytes{0, 21} + text("Additional Info"))},
        {"tag 3", itemRequest(2, 22), Frame('P', Bytes{2, 22} + text("Tag 3"))},
        {"units 4", itemRequest(3, 23), Frame('P', Bytes{3, 23} + text("unit"))},
        {"flags", itemRequest(7, 24), Frame('P', Bytes{7, 24, 1, 2, 3, 4})},
        {"short measurement", Frame('x'), Frame('X', int16s({10, 200, 512, 1023, 10, 200, 512, 1023}))},
        {"long measurement", Bytes{0x01, 'x', 0x0A, 7, 1, 0, 0, 0, 0, 0, 0, 0, 0},
         Frame('X', int16s({10, 200, 512, 1023, 10, 200, 512, 1023}))},
        {"item write", itemWrite(1, 22, "Pump"), Frame('Q')},
        {"item read back", itemRequest(1, 22), Frame('P', Bytes{1, 22} + text("Pump"))},
        {"flags write", Frame('q', Bytes{7, 24, 0, 0x41, 2, 0}), Frame('Q')},
        {"flags read back", itemRequest(7, 24), Frame('P', Bytes{7, 24, 0, 0x41, 2, 0})},
        {"calibration write", Frame('b', int16s({0, 0, 1000, 500, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12})),
         Frame('B')},
        {"calibration read back", Frame('c'),
         Frame('C', int16s({0, 0, 1000, 500, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}))},
        {"store", Frame('s'), Frame('S')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(sim.request(c.request), c.reply);
    }
}

TEST(SimulatorRequests, LeavesRequestsItCannotTakeUnanswered) {
    SimProcess sim;
    ASSERT_TRUE(sim.started());
    const Bytes refused[] = {Frame('z'),          itemRequest(0, 19), itemRequest(0, 25),
                             itemRequest(4, 22),  itemRequest(9, 23), Frame('q', Bytes{0, 25, 'a'}),
                             Frame('p', Bytes{0})};
    for (const auto& r : refused)
        EXPECT_TRUE(sim.request(r, 300).empty());
    EXPECT_EQ(sim.request(Frame('s')), Frame('S')) << "still answers afterwards";
}

TEST(SimulatorRequests, AssemblesSplitRequestsAndSkipsStrayBytes) {
    SimProcess sim;
    ASSERT_TRUE(sim.started());
    const Bytes request = itemRequest(0, 22);
    sim.send(Bytes{0x55, 0x00, 0xFF});
    for (std::size_t i = 0; i < request.size(); ++i) {
        sim.send(Bytes{request[i]});
        if (i + 1 < request.size()) {
            EXPECT_TRUE(sim.receive(1, 60).empty()) << "no reply before the last byte";
        }
    }
    EXPECT_EQ(sim.receive(10), Frame('P', Bytes{0, 22} + text("Tag 1")));
}

TEST(SimulatorRequests, MeasuredValueFollowsTheCalibrationLine) {
    SimProcess sim({"--raw", "100,550,1000,0"});
    ASSERT_TRUE(sim.started());
    // Channel 1 maps 100..1000 to 0..900, channel 2 has equal points, channel 3 a missing value.
    ASSERT_EQ(sim.request(Frame(
                  'b', int16s({100, 0, 1000, 900, 5, 1, 5, 2, -32768, 0, 10, 10, 0, -50, 1000, 32767}))),
              Frame('B'));
    EXPECT_EQ(sim.request(Frame('x')), Frame('X', int16s({100, 550, 1000, 0, 0, -32768, -32768, -50})));
}

TEST(SimulatorFaults, MuteNeverAnswers) {
    SimProcess sim({"--mute"});
    ASSERT_TRUE(sim.started());
    EXPECT_TRUE(sim.request(Frame('v'), 500).empty());
    EXPECT_TRUE(sim.request(Frame('x'), 500).empty());
}

TEST(SimulatorFaults, DropEveryNthRequest) {
    SimProcess sim({"--drop-every", "3"});
    ASSERT_TRUE(sim.started());
    std::vector<bool> answered;
    for (int i = 0; i < 6; ++i)
        answered.push_back(!sim.request(Frame('s'), 400).empty());
    EXPECT_EQ(answered, (std::vector<bool>{true, true, false, true, true, false}));
}

TEST(SimulatorFaults, GarbleEveryNthReplyWithATrailingByte) {
    // Requests the unit leaves unanswered do not count: only replies sent are garbled.
    SimProcess sim({"--garble-every", "2", "--drop-every", "3"});
    ASSERT_TRUE(sim.started());
    std::vector<Bytes> batches;
    for (int i = 0; i < 6; ++i) {
        sim.send(Frame('s'));
        batches.push_back(sim.receiveBatch(400));
    }
    const Bytes garbled = Frame('S') + Bytes{0x00};
    EXPECT_EQ(batches, (std::vector<Bytes>{Frame('S'), garbled, {}, Frame('S'), garbled, {}}));
}

TEST(SimulatorFaults, SplitRepliesArriveAsTwoBatches) {
    SimProcess sim({"--split-replies"});
    ASSERT_TRUE(sim.started());
    sim.send(itemRequest(0, 21));
    const Bytes first = sim.receiveBatch();
    const Bytes second = sim.receiveBatch();
    EXPECT_FALSE(first.empty());
    EXPECT_FALSE(second.empty());
    EXPECT_EQ(first + second, Frame('P', Bytes{0, 21} + text("Additional Info")));
}

TEST(SimulatorFaults, PacedAndDelayedRepliesKeepTheirBytes) {
    for (const QStringList& args : {QStringList{"--pace"}, QStringList{"--reply-delay", "300"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        SimProcess sim(args);
        ASSERT_TRUE(sim.started());
        EXPECT_EQ(sim.request(Frame('c'), 3000), Frame('C', defaultTable));
    }
}

TEST(SimulatorState, StoreCommandPersistsAndStateLoadsAtStart) {
    TempDir dir;
    const QString state = dir.file("unit.qlx");
    {
        SimProcess sim({"--state", state});
        ASSERT_TRUE(sim.started());
        EXPECT_EQ(sim.request(itemRequest(0, 20)), Frame('P', Bytes{0, 20} + text("Header Data")))
            << "defaults when the file is missing";
        ASSERT_EQ(sim.request(itemWrite(0, 20, "Boiler House")), Frame('Q'));
        EXPECT_FALSE(QFileInfo::exists(state)) << "nothing is written before the store command";
        ASSERT_EQ(sim.request(Frame('s')), Frame('S'));
        EXPECT_EQ(QFileInfo(state).size(), 242);
        EXPECT_EQ(sim.terminate(), 0);
    }
    SimProcess again({"--state", state});
    ASSERT_TRUE(again.started());
    EXPECT_EQ(again.request(itemRequest(0, 20)), Frame('P', Bytes{0, 20} + text("Boiler House")));
}

TEST(SimulatorState, StoreThatCannotBeWrittenIsNotAcknowledged) {
    TempDir dir;
    SimProcess sim({"--state", dir.file("missing/unit.qlx")});
    ASSERT_TRUE(sim.started());
    ASSERT_EQ(sim.request(itemWrite(0, 20, "Boiler House")), Frame('Q'));
    EXPECT_TRUE(sim.request(Frame('s'), 500).empty()) << "a lost store must not be reported as done";
    EXPECT_EQ(sim.request(itemRequest(0, 20)), Frame('P', Bytes{0, 20} + text("Boiler House")))
        << "the unit goes on with what it holds";
    ASSERT_TRUE(QDir().mkpath(dir.file("missing")));
    EXPECT_EQ(sim.request(Frame('s')), Frame('S')) << "a later store that succeeds is acknowledged";
}

TEST(SimulatorLog, OneLinePerFrameInAndOutWithATimeStamp) {
    SimProcess sim({"--log", "--drop-every", "2", "--version", "V1"});
    ASSERT_TRUE(sim.started());
    ASSERT_EQ(sim.request(Frame('v')), Frame('V', text("V1")));
    ASSERT_TRUE(sim.request(Frame('s'), 300).empty());
    ASSERT_TRUE(sim.request(Frame('z'), 300).empty()) << "a request the unit cannot take";
    QStringList lines;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            lines = sim.errorOutput().split('\n', Qt::SkipEmptyParts);
            return lines.size() >= 4;
        },
        2000));
    const QRegularExpression line(R"(^ *(\d+\.\d{3}) (in |out) ([0-9A-F]{2}(?: [0-9A-F]{2})*)(.*)$)");
    const char* const expected[][3] = {{"in ", "01 76 00", ""},
                                       {"out", "01 56 02 56 31", ""},
                                       {"in ", "01 73 00", "  (left unanswered)"},
                                       {"in ", "01 7A 00", ""}};
    ASSERT_EQ(lines.size(), 4) << lines.join('|').toStdString();
    double previous = 0;
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(lines[i].toStdString());
        const auto match = line.match(lines[i]);
        ASSERT_TRUE(match.hasMatch());
        EXPECT_EQ(match.captured(2), expected[i][0]);
        EXPECT_EQ(match.captured(3), expected[i][1]);
        EXPECT_EQ(match.captured(4), expected[i][2]);
        EXPECT_GE(match.captured(1).toDouble(), previous) << "time stamps never go back";
        previous = match.captured(1).toDouble();
    }
}

TEST(SimulatorLifecycle, ServesARealSerialDeviceGivenToIt) {
    // A pseudo-terminal pair stands in for a null-modem cable: the simulator serves the slave as its
    // device, the test is the far end on the master. The slave starts in the terminal's cooked mode
    // with echo, which the simulator must turn off before the 0x0A of an item request arrives.
    TestPty cable;
    const QString device = cable.path();
    SimProcess sim({"--device", device}, SimProcess::Port::LeaveClosed);
    ASSERT_TRUE(sim.started());
    EXPECT_EQ(sim.path(), device);
    sim.useLine(cable.master());
    EXPECT_EQ(sim.request(itemRequest(0, 22)), Frame('P', Bytes{0, 22} + text("Tag 1")));
    EXPECT_EQ(sim.request(Frame('c')), Frame('C', defaultTable));

    const int check = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(check, 0);
    termios t{};
    ASSERT_EQ(tcgetattr(check, &t), 0);
    ::close(check);
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_EQ(cfgetispeed(&t), B9600);
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t(CS8)) << "8N1";
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(sim.terminate(), 0);
}

// The simulator takes its device as the tool takes its port, so the two never share one line.
TEST(SimulatorLifecycle, RefusesADeviceThatIsNoTtyOrIsHeld) {
    TempDir dir;
    const TestPty held;
    const DeviceLockHolder tool(held.path());
    const struct {
        QString device;
        const char* reason;
    } rows[] = {{dir.write("plain", "no tty"), "not a serial device"},
                {held.path(), "in use by another program"},
                {dir.file("absent"), "No such file or directory"}};
    for (const auto& row : rows) {
        QProcess sim;
        sim.start(QUELLIX_SIM_PATH, {"--device", row.device});
        ASSERT_TRUE(sim.waitForFinished(5000));
        EXPECT_EQ(sim.exitCode(), 1) << row.reason;
        EXPECT_EQ(QString::fromLocal8Bit(sim.readAllStandardError()).trimmed(),
                  "quellix-sim: cannot open " + row.device + ": " + row.reason);
    }
}

TEST(SimulatorLifecycle, SurvivesThePortClosingAndOpeningAgain) {
    SimProcess sim;
    ASSERT_TRUE(sim.started());
    ASSERT_EQ(sim.request(Frame('s')), Frame('S'));
    for (int i = 0; i < 3; ++i) {
        sim.closePort();
        ::usleep(100 * 1000);
        ASSERT_TRUE(sim.openPort());
        EXPECT_EQ(sim.request(Frame('s')), Frame('S'));
    }
}

// Also at once while it waits out a reply delay.
TEST(SimulatorLifecycle, LinkIsMadeAndRemovedWhenStopped) {
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        TempDir dir;
        const QString link = dir.file("unit-tty");
        SimProcess sim({"--link", link, "--reply-delay", "60000"});
        ASSERT_TRUE(sim.started());
        EXPECT_TRUE(QFileInfo(link).isSymLink());
        EXPECT_EQ(QFileInfo(link).symLinkTarget(), sim.path());
        sim.send(Frame(signal == SIGTERM ? 'v' : 's'));
        EXPECT_TRUE(sim.receiveBatch(200).empty()) << "the reply is being delayed";
        EXPECT_EQ(sim.terminate(signal), 0);
        EXPECT_FALSE(QFileInfo(link).isSymLink());
    }
}

TEST(SimulatorLifecycle, LinkTakenOverByALaterSimulatorStaysWhenTheFirstStops) {
    TempDir dir;
    const QString link = dir.file("unit-tty");
    SimProcess first({"--link", link});
    ASSERT_TRUE(first.started());
    SimProcess second({"--link", link});
    ASSERT_TRUE(second.started());
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), second.path());
    EXPECT_EQ(first.terminate(), 0);
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), second.path());
    EXPECT_EQ(second.terminate(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

TEST(SimulatorLifecycle, RefusesBadOptionsAndListsThemInHelp) {
    QProcess help;
    help.start(QUELLIX_SIM_PATH, {"--help"});
    ASSERT_TRUE(help.waitForFinished(5000));
    const QString usage = help.readAllStandardOutput();
    for (const char* option : {"--link", "--device", "--state", "--version", "--seed", "--raw", "--mute",
                               "--drop-every", "--garble-every", "--advance-every", "--reply-delay",
                               "--split-replies", "--pace", "--log", "--control", "--help"})
        EXPECT_TRUE(usage.contains(option)) << option;

    TempDir dir;
    const QStringList bad[] = {{"--version", QString(36, 'v')}, {"--raw", "1,2,3"},
                               {"--raw", "1,2,3,2000"},         {"--drop-every", "x"},
                               {"--garble-every", "-1"},        {"--frobnicate"}};
    for (const auto& args : bad) {
        QProcess sim;
        sim.start(QUELLIX_SIM_PATH, args);
        ASSERT_TRUE(sim.waitForFinished(5000));
        EXPECT_EQ(sim.exitCode(), 2) << args.join(' ').toStdString();
    }
    QProcess notFifo;
    notFifo.start(QUELLIX_SIM_PATH, {"--control", dir.write("commands", "raw 1 5\n")});
    ASSERT_TRUE(notFifo.waitForFinished(5000));
    EXPECT_EQ(notFifo.exitCode(), 1);
    EXPECT_TRUE(notFifo.readAllStandardError().contains("not a FIFO"));
}

// Commands on a FIFO and on standard input take effect for the next request; the FIFO the simulator
// made goes with it.
TEST(SimulatorControl, CommandsFromAFifoOrStandardInput) {
    TempDir dir;
    const QString fifo = dir.file("control");
    int input[2];
    ASSERT_EQ(::pipe2(input, O_CLOEXEC), 0);
    struct Way {
        const char* what;
        QStringList args;
        int input;
    };
    const Way ways[] = {{"FIFO", {"--control", fifo, "--raw", "1,2,3,4"}, -1},
                        {"standard input", {"--control", "-", "--raw", "1,2,3,4"}, input[0]}};
    for (const Way& way : ways) {
        SCOPED_TRACE(way.what);
        SimProcess sim(way.args, SimProcess::Port::Open, way.input);
        ASSERT_TRUE(sim.started());
        const auto command = [&](const char* line) {
            const int fd = way.input < 0 ? ::open(QFile::encodeName(fifo).constData(), O_WRONLY) : input[1];
            ASSERT_EQ(::write(fd, line, std::strlen(line)), ssize_t(std::strlen(line)));
            if (way.input < 0)
                ::close(fd);
        };
        command("raw 2 512\nbogus\n");
        const Bytes reply = sim.request(Frame('x'));
        ASSERT_EQ(reply.size(), 19u);
        EXPECT_EQ(reply[5] | reply[6] << 8, 512);
        command("mute on\n");
        EXPECT_TRUE(sim.request(Frame('v'), 300).empty());
        command("mute off\n");
        EXPECT_FALSE(sim.request(Frame('v')).empty());
        EXPECT_TRUE(sim.errorOutput().contains("control: bogus: unknown command"))
            << sim.errorOutput().toStdString();
        EXPECT_EQ(sim.terminate(), 0);
    }
    EXPECT_FALSE(QFileInfo::exists(fifo));
    ::close(input[0]);
    ::close(input[1]);
}

} // namespace quellix
