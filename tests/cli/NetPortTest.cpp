// quellix-cli on network ports: the unit (quellix-sim on a pseudo-terminal) behind a real ser2net on a
// loopback port, raw and RFC 2217, as a plant's device server puts it.
#include "BlockImages.h"
#include "Cli.h"
#include "CliRun.h"
#include "Ser2net.h"
#include "SimProcess.h"
#include "TempDir.h"

#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

namespace quellix {

namespace {

// Reads the process's output while `done` says it must go on; false when it never got there.
bool FollowUntil(QProcess& cli, QByteArray& out, QByteArray& err, const std::function<bool()>& done) {
    return QTest::qWaitFor(
        [&] {
            out += cli.readAllStandardOutput();
            err += cli.readAllStandardError();
            return done();
        },
        15000);
}

class NetPortCli : public testing::Test {
protected:
    void SetUp() override {
        if (!Ser2net::Installed())
            GTEST_SKIP() << "ser2net is not installed; scripts/setup installs it";
        ASSERT_TRUE(sim.started());
    }
    void WriteWithVerifyAndRead(Ser2net::Accepter accepter);
    TempDir dir;
    SimProcess sim{{"--state", dir.file("unit.qlx")}, SimProcess::Port::LeaveClosed};
};

} // namespace

// Both directions whole through an accepter: a tag holding 0xFF ("ÿ" in the unit's character set) must
// pass Telnet's escaping both ways, and the verify reads every field back. One test per accepter, so that
// the two run side by side.
void NetPortCli::WriteWithVerifyAndRead(Ser2net::Accepter accepter) {
    ConfigBlock block = DefaultBlock();
    block.TagName[1].assign("Kessel \xFF");
    block.Header1.assign("Net \xFF\xFF line");
    dir.write("sent.qlx", BlockImage(block));
    Ser2net server(sim.path(), accepter);
    ASSERT_TRUE(server.start()) << server.log().toStdString();
    const CliResult write = runCli({"write", "--port", server.url(), dir.file("sent.qlx")});
    EXPECT_EQ(write.status, 0) << write.err.toStdString();
    const CliResult read = runCli({"read", "--port", server.url(), "-o", dir.file("read.qlx")});
    EXPECT_EQ(read.status, 0) << read.err.toStdString();
    const QByteArray image = TempDir::read(dir.file("read.qlx"));
    EXPECT_EQ(image.size(), ConfigBlockSize);
    EXPECT_TRUE(image.contains("Kessel \xFF") && image.contains("Net \xFF\xFF line"));
}

TEST_F(NetPortCli, WriteWithVerifyAndReadThroughRaw) {
    WriteWithVerifyAndRead(Ser2net::Accepter::Raw);
}

TEST_F(NetPortCli, WriteWithVerifyAndReadThroughRfc2217) {
    WriteWithVerifyAndRead(Ser2net::Accepter::Rfc2217);
}

// A server restarted under a running watch: the tool says the connection ended, tries again, and the
// readings go on up to the count asked for.
TEST_F(NetPortCli, WatchGoesOnWhenSer2netComesBack) {
    Ser2net server(sim.path(), Ser2net::Accepter::Raw);
    ASSERT_TRUE(server.start()) << server.log().toStdString();
    QProcess cli;
    cli.start(QStringLiteral(QUELLIX_CLI_PATH),
              {"watch", "--port", server.url(), "--interval", "0.25", "--count", "4"});
    QByteArray out, err;
    ASSERT_TRUE(FollowUntil(cli, out, err, [&] { return out.count('\n') >= 2; })) << err.toStdString();
    server.stop();
    ASSERT_TRUE(FollowUntil(cli, out, err, [&] { return err.contains("trying again"); }))
        << err.toStdString();
    const qsizetype before = out.count('\n');
    ASSERT_TRUE(server.start()) << server.log().toStdString();
    ASSERT_TRUE(cli.waitForFinished(15000)) << err.toStdString();
    err += cli.readAllStandardError();
    out += cli.readAllStandardOutput();
    EXPECT_EQ(cli.exitCode(), 0) << err.toStdString();
    EXPECT_TRUE(err.contains(server.url().toUtf8() + ": the server closed the connection"))
        << err.toStdString();
    EXPECT_TRUE(err.contains("open again")) << err.toStdString();
    EXPECT_EQ(out.count('\n'), 5) << "the header and four readings";
    EXPECT_LT(before, 5) << "some readings came after the server's return";
}

// The server gone in the middle of a download: a clear message and the documented exit status 3, at once
// rather than after the reply timers; nothing is written.
TEST_F(NetPortCli, Ser2netStoppedDuringADownload) {
    Ser2net server(sim.path(), Ser2net::Accepter::Rfc2217);
    ASSERT_TRUE(server.start()) << server.log().toStdString();
    QProcess cli;
    cli.start(QStringLiteral(QUELLIX_CLI_PATH),
              {"--verbose", "read", "--port", server.url(), "-o", dir.file("never.qlx")});
    QByteArray out, err;
    ASSERT_TRUE(FollowUntil(cli, out, err, [&] { return err.count("< 01 ") >= 2; })) << err.toStdString();
    server.stop();
    ASSERT_TRUE(cli.waitForFinished(5000));
    err += cli.readAllStandardError();
    EXPECT_EQ(cli.exitCode(), 3) << err.toStdString();
    EXPECT_TRUE(err.contains(server.url().toUtf8() + ": the server closed the connection"))
        << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.file("never.qlx")));
}

// find probes the network ports [Ports] names beside the (here: no) serial devices, without waiting on
// each in turn: a unit listening on loopback answers, a port nobody listens on says why.
TEST(NetPortFind, ProbesTheNetworkPortsThePortsSectionNames) {
    TempDir dir;
    SimProcess unit({"--listen", "127.0.0.1:0"}, SimProcess::Port::LeaveClosed);
    SimProcess closed({"--listen", "127.0.0.1:0"}, SimProcess::Port::LeaveClosed);
    ASSERT_TRUE(unit.started() && closed.started());
    const QString refused = "rfc2217://" + closed.path();
    closed.terminate();
    const QString ini = dir.write(
        "quellix.INI", ("[Ports]\nCOM2=tcp://" + unit.path() + "\nCOM4=" + refused + "\n").toUtf8());
    const CliResult find = runCli({"find"}, {ini, false, dir.file("root")});
    EXPECT_EQ(find.status, 0) << find.err.toStdString();
    EXPECT_TRUE(find.out.contains("tcp://" + unit.path() + " (COM2): unit, version"))
        << find.out.toStdString();
    EXPECT_TRUE(find.out.contains(refused + " (COM4): not probed: " + refused + ": connection refused"))
        << find.out.toStdString();
}

} // namespace quellix
