#include "Cli.h"
#include "BlockImages.h"
#include "CliPort.h"
#include "CliRun.h"
#include "ConfigJson.h"
#include "TempDir.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace quellix {

namespace {

class CliTest : public testing::Test {
protected:
    CliTest() {
        ConfigBlock b = DefaultBlock();
        a_ = dir.write("a.qlx", BlockImage(b));
        b.TagName[1].assign("Feed Pump");
        b.Reserved = 9;
        b_ = dir.write("b.qlx", BlockImage(b));
        dir.write("short.qlx", BlockImage(b).left(241));
        dir.write("a.json", ConfigToJson(DefaultBlock()));
        QByteArray bad = ConfigToJson(DefaultBlock());
        bad.replace("\"Tag 3\"", "\"Tag 3 of the boiler house\"");
        dir.write("bad.json", bad);
        dir.write("plant.json.orig", ConfigToJson(b));
        QDir(dir.path()).mkdir("folder");
    }

    CliResult run(QStringList args) {
        for (QString& a : args)
            a.replace("DIR", dir.path());
        return runCli(args);
    }

    TempDir dir;
    QString a_;
    QString b_;
};

} // namespace

TEST_F(CliTest, FileCommandsExitWithTheDocumentedStatus) {
    struct Case {
        QStringList args;
        int status;
        const char* out; // expected in standard output
        const char* err; // expected in standard error
    };
    const Case cases[] = {
        {{}, 2, "", "Usage: quellix-cli"},
        {{"--version"}, 0, "quellix-cli (Quellix Config) 1.0", ""},
        {{"--help"}, 0, "Commands:", ""},
        {{"help"}, 0, "Commands:", ""},
        {{"help", "import"}, 0, "Usage: quellix-cli import FILE.json -o FILE.qlx", ""},
        {{"diff", "--help"}, 0, "Usage: quellix-cli diff", ""},
        {{"help", "nothing"}, 2, "", "unknown command \"nothing\""},
        {{"frobnicate"}, 2, "", "unknown command \"frobnicate\""},
        {{"show", "--colour", "DIR/a.qlx"}, 2, "", "Unknown option 'colour'"},
        {{"--quiet", "--verbose", "show", "DIR/a.qlx"}, 2, "", "exclude each other"},
        {{"show"}, 2, "", "show takes one file, not 0"},
        {{"show", "DIR/a.qlx"}, 0, "channel 2  \"Tag 2\"  units \"unit\"", ""},
        {{"show", "DIR/a.json"}, 0, "  point 2  raw   1000  value    10.00", ""},
        {{"show", "DIR/missing.qlx"}, 5, "", "missing.qlx: no such file"},
        {{"show", "DIR/short.qlx"},
         5,
         "",
         "short.qlx: 241 bytes, too short for a configuration of 242 bytes"},
        {{"show", "DIR/bad.json"},
         5,
         "",
         "bad.json: channel3.tag: \"Tag 3 of the boiler house\" is 25 bytes"},
        {{"diff", "DIR/a.qlx", "DIR/a.json"}, 0, "", ""},
        {{"diff", "DIR/a.qlx", "DIR/b.qlx"}, 1, "channel2.tag: \"Tag 2\" -> \"Feed Pump\"\n", ""},
        {{"diff", "--hidden", "DIR/a.qlx", "DIR/b.qlx"}, 1, "hidden.reserved: 0 -> 9\n", ""},
        {{"diff", "--quiet", "DIR/a.qlx", "DIR/b.qlx"}, 1, "", ""},
        {{"diff", "DIR/a.qlx"}, 2, "", "diff compares two configurations, not 1"},
        {{"diff", "DIR/a.qlx", "DIR/missing.json"}, 5, "", "missing.json: no such file"},
        {{"diff", "--port", "COM5", "DIR/a.qlx"}, 2, "", "\"COM5\" is no port"},
        {{"export", "DIR/a.qlx"}, 0, "\"format\": \"quellix-config\"", ""},
        {{"export", "DIR/a.qlx", "-o", "DIR/x.qlx"}, 2, "", "must end in \".json\""},
        {{"export", "DIR/a.qlx", "DIR/b.qlx"}, 2, "", "export takes one file, not 2"},
        {{"import", "DIR/a.json"}, 2, "", "import needs the block file to write"},
        {{"import", "DIR/a.json", "-o", "DIR/x.json"}, 2, "", "must not end in \".json\""},
        {{"import", "DIR/bad.json", "-o", "DIR/x.qlx"}, 5, "", "bad.json: channel3.tag:"},
        {{"import", "DIR/a.json", "-o", "DIR/no/such/dir/x.qlx"}, 5, "", "x.qlx: cannot be written"},
        {{"--verbose", "import", "DIR/a.json", "-o", "DIR/x.qlx"}, 0, "", "wrote"},
        // The form is in the content too: an edited copy of a text form is read as one.
        {{"show", "DIR/plant.json.orig"}, 0, "channel 2  \"Feed Pump\"", ""},
        {{"import", "DIR/a.qlx", "-o", "DIR/x.qlx"}, 5, "", "a.qlx: a block image, not the text form"},
        {{"export", "DIR/plant.json.orig"}, 5, "", "plant.json.orig: the text form of a configuration"},
        {{"export", "DIR/a.qlx", "-o", "DIR/folder"}, 5, "", "folder: cannot be written: it is a dir"},
        {{"export", "DIR/a.qlx", "-o", "-"}, 0, "\"format\": \"quellix-config\"", ""},
        // Known before the port is opened, not after the unit was read.
        {{"read", "--port", "DIR/no-tty", "-o", "DIR/gone/x.json"}, 5, "", "x.json: cannot be written: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliResult r = run(c.args);
        EXPECT_EQ(r.status, c.status) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(QString::fromUtf8(c.out))) << r.out.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.err))) << r.err.toStdString();
        if (c.status == 0 || c.status == 1) {
            EXPECT_FALSE(r.err.contains("quellix-cli:")) << r.err.toStdString();
        }
    }
}

TEST_F(CliTest, ExportAndImportGiveBackTheSameBytes) {
    ConfigBlock odd = DefaultBlock();
    for (std::size_t i = 0; i < ConfigBlockSize; ++i)
        BlockBytes(odd)[i] = static_cast<std::uint8_t>(i * 37 + 11);
    const QString source = dir.write("odd.qlx", BlockImage(odd));
    ASSERT_EQ(run({"export", source, "-o", "DIR/odd.json"}).status, 0);
    ASSERT_EQ(run({"import", "DIR/odd.json", "-o", "DIR/back.qlx"}).status, 0);
    EXPECT_EQ(TempDir::read(dir.file("back.qlx")), BlockImage(odd));
    EXPECT_EQ(TempDir::read(dir.file("odd.json")), ConfigToJson(odd));
    // Standard output carries the same text as the file.
    EXPECT_EQ(run({"export", source}).out.toUtf8(), ConfigToJson(odd));
}

TEST_F(CliTest, TextsCannotActOnTheTerminal) {
    ConfigBlock block = DefaultBlock();
    block.TagName[0].assign("\x1B[2J\xA0\x9B");
    const QString file = dir.write("escape.qlx", BlockImage(block));
    for (const char* command : {"show", "export"}) {
        const CliResult r = run({command, file});
        EXPECT_EQ(r.status, 0);
        // The text form shows a text up to its first control character and keeps the rest hidden.
        const char* shown = QLatin1String(command) == "show" ? R"("\u001B[2J\u00A0›")" : R"("tag": "",)";
        EXPECT_TRUE(r.out.contains(shown)) << r.out.toStdString();
        EXPECT_FALSE(r.out.contains(QChar(0x1B)));
    }
}

// Measured before: as root, "-o /dev/null" replaced the device node with a regular file.
TEST_F(CliTest, OutputIntoADeviceOrFifoIsWrittenIntoNotReplaced) {
    const QByteArray image = BlockImage(DefaultBlock());
    EXPECT_EQ(run({"import", "DIR/a.json", "-o", "-"}).out.toLatin1(), image);

    // Standard output is a pipe here: /dev/stdout leads to a FIFO.
    QProcess process;
    process.start(QStringLiteral(QUELLIX_CLI_PATH), {"import", dir.file("a.json"), "-o", "/dev/stdout"});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_EQ(process.readAllStandardOutput(), image);

    const QString null = dir.file("null");
    if (::mknod(QFile::encodeName(null).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "mknod needs CAP_MKNOD: " << std::strerror(errno);
    EXPECT_EQ(run({"export", "DIR/a.qlx", "-o", null}).status, 0);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(null).constData(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST_F(CliTest, AFailedImportLeavesTheTargetAsItWas) {
    const QString target = dir.write("keep.qlx", "previous");
    EXPECT_EQ(run({"import", "DIR/bad.json", "-o", target}).status, 5);
    EXPECT_EQ(TempDir::read(target), QByteArray("previous"));
    EXPECT_EQ(run({"import", "DIR/bad.json", "-o", "DIR/new.qlx"}).status, 5);
    EXPECT_FALSE(QFileInfo::exists(dir.file("new.qlx")));
}

TEST_F(CliTest, TheExecutableReturnsTheStatusToItsCaller) {
    struct Case {
        QStringList args;
        int status;
    };
    const Case cases[] = {
        {{"--version"}, 0},
        {{"diff", a_, b_}, 1},
        {{"diff", a_}, 2},
        {{"import", dir.file("bad.json"), "-o", dir.file("y.qlx")}, 5},
    };
    for (const Case& c : cases) {
        QProcess process;
        process.start(QStringLiteral(QUELLIX_CLI_PATH), c.args);
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), c.status) << c.args.join(' ').toStdString();
    }
}

TEST(CliPortTest, NamesMapThroughThePortsSection) {
    TempDir dir;
    const QString ini = dir.write("quellix.INI", "[Ports]\nCOM2=/dev/ttyUSB7\ncom3=\n");
    struct Case {
        const char* argument;
        const char* name; // empty: refused
        const char* device;
    };
    const Case cases[] = {
        {"COM1", "COM1", "/dev/ttyS0"},
        {"com2", "COM2", "/dev/ttyUSB7"},
        {"COM3", "COM3", "/dev/ttyS2"},
        {"COM4", "COM4", "/dev/ttyS3"},
        {"/dev/pts/4", "/dev/pts/4", "/dev/pts/4"},
        {"./unit-tty", "./unit-tty", "./unit-tty"},
        {"tcp://127.0.0.1:4001", "tcp://127.0.0.1:4001", "tcp://127.0.0.1:4001"},
        {"rfc2217://[::1]:2217", "rfc2217://[::1]:2217", "rfc2217://[::1]:2217"},
        {"COM5", "", ""},
        {"ttyUSB0", "", ""},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument);
        QString error;
        const std::optional<PortName> port = ResolvePort(QString::fromUtf8(c.argument), ini, error);
        if (*c.name == '\0') {
            EXPECT_FALSE(port);
            EXPECT_TRUE(error.contains("COM1..COM4 or a device path")) << error.toStdString();
            continue;
        }
        ASSERT_TRUE(port);
        EXPECT_EQ(port->name.toStdString(), c.name);
        EXPECT_EQ(port->device.toStdString(), c.device);
    }
    // A malformed network port is refused here, saying what is wrong, not left to fail at the open.
    QString error;
    EXPECT_FALSE(ResolvePort("tcp://unit-host", ini, error));
    EXPECT_TRUE(error.startsWith("tcp://unit-host: ")) << error.toStdString();
}

} // namespace quellix
