// The audit trail of `quellix-cli write` against quellix-sim, and the audit and records commands on a
// data directory of the test's own.
#include "AuditLog.h"
#include "BlockImages.h"
#include "Cli.h"
#include "CliRun.h"
#include "ConfigJson.h"
#include "PdfText.h"
#include "RecordStore.h"
#include "SampleRecord.h"
#include "SimProcess.h"
#include "TempDir.h"

#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>

namespace quellix {

namespace {

// The user's data directory is the test's own.
class CalibCommandsTest : public testing::Test {
protected:
    void SetUp() override { qputenv("XDG_DATA_HOME", dir.file("data").toLocal8Bit()); }
    void TearDown() override { qunsetenv("XDG_DATA_HOME"); }
    QString auditPath() const { return dir.file("data/quellix/audit.log"); }

    TempDir dir;
};

} // namespace

// A log that cannot take the line stops the write before the unit is touched, unless --no-audit; an
// audited write leaves one line naming the unit, the file, every field sent and the result.
TEST_F(CalibCommandsTest, WriteAppendsItsAuditLine) {
    SimProcess sim({"--state", dir.file("unit.qlx")}, SimProcess::Port::LeaveClosed);
    ASSERT_TRUE(sim.started());
    ConfigBlock block = DefaultBlock();
    block.TagName[1].assign("Feed Pump");
    dir.write("plant.json", ConfigToJson(block));
    QStringList write = {"write", "--no-verify", "--port", sim.path(), dir.file("plant.json")};

    ASSERT_TRUE(QDir().mkpath(auditPath())); // a directory where the log should be
    const CliResult blocked = runCli(write);
    EXPECT_EQ(blocked.status, 5);
    EXPECT_TRUE(blocked.err.contains("--no-audit")) << blocked.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.file("unit.qlx"))) << "the unit was written to";

    const CliResult unaudited = runCli(QStringList(write) << "--no-audit");
    EXPECT_EQ(unaudited.status, 0) << unaudited.err.toStdString();
    EXPECT_TRUE(QFile::exists(dir.file("unit.qlx")));

    ASSERT_TRUE(QDir(auditPath()).removeRecursively());
    const CliResult audited = runCli(write);
    ASSERT_EQ(audited.status, 0) << audited.err.toStdString();
    const CliResult json = runCli({"audit", "--json"});
    ASSERT_EQ(json.out.count('\n'), 1) << json.out.toStdString();
    for (const char* part :
         {"\"tool\": \"quellix-cli\"", "\"unitVersion\": \"QX-4 V2.10\"", "\"sent\": \"write ",
          "\"record\": null",
          "{ \"field\": \"channel2.tag\", \"old\": \"unknown\", \"new\": \"\\\"Feed Pump\\\"\" }",
          "\"result\": \"done\""})
        EXPECT_TRUE(json.out.contains(part)) << part << "\n" << json.out.toStdString();

    // With its check, the version comes from the check's read, not from a request of its own.
    write.removeOne("--no-verify");
    ASSERT_EQ(runCli(write).status, 0);
    const QStringList lines = runCli({"audit", "--json"}).out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].contains("\"unitVersion\": \"QX-4 V2.10\"")) << lines[1].toStdString();
}

TEST_F(CalibCommandsTest, AuditAndRecordsCommands) {
    AuditEntry entry = NewAuditEntry("quellix");
    entry.time = QDateTime(QDate(2026, 12, 9), QTime(14, 40, 2), QTimeZone(3600));
    entry.port = "COM1";
    entry.device = "/dev/ttyUSB0";
    entry.unitVersion = "QX-4 V2.10";
    entry.sent = "configuration (Send to unit)";
    entry.changes = {{"channel1.point2.value", "100.0", "120.0"}};
    entry.result = "done";
    QString error;
    ASSERT_TRUE(AuditLog::Default().Append(entry, &error)) << error.toStdString();
    const CalibrationRecord record = SampleRecord();
    ASSERT_TRUE(RecordStore::Default().Save(record, &error)) << error.toStdString();

    const struct {
        QStringList args;
        int status;
        QString out; // a part of standard output, or of standard error when the status is not 0
    } cases[] = {
        {{"audit"},
         0,
         "COM1 (/dev/ttyUSB0) \"QX-4 V2.10\": configuration (Send to unit) -> done\n"
         "  channel1.point2.value: 100.0 -> 120.0\n"},
        {{"audit", "--port", "/dev/ttyUSB0", "--json"}, 0, "\"old\": \"100.0\", \"new\": \"120.0\""},
        {{"audit", "--port", "COM2"}, 0, ""},
        {{"audit", "--since", "2026-12-10"}, 0, ""},
        {{"audit", "--since", "yesterday"}, 2, "--since takes a date"},
        {{"records", "list"}, 0, " channel 1 \"Boiler Flow\" found fail left pass\n"},
        {{"records", "show", record.id},
         0,
         "  100 %: nominal 120.0, limit 0.6; as found 120.0 shown 121.0 error 1.0 (fail)"},
        {{"records", "show", "20261209T131503Z-00000000"}, 5, "20261209T131503Z-00000000"},
        {{"records", "pdf", record.id}, 2, "-o FILE"},
        {{"records", "remove", record.id}, 2, "records takes list"},
        {{"records", "correct", record.id, "--technician", "J. Doe"}, 2, "needs the reason: --reason"},
        {{"records", "correct", record.id, "--reason", "x", "--reference-due", "soon"}, 2, "--reference-due"},
        // A correction is a new record naming the one it replaces; the old one stays, marked.
        {{"records", "correct", record.id, "--reason", "wrong name", "--technician", "J. Doe"}, 0, "Z-"},
        {{"records", "list"}, 0, " replaced by "},
        {{"records", "show", record.id}, 0, "technician "},
    };
    for (const auto& c : cases) {
        const CliResult r = runCli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.join(' ').toStdString() << "\n" << r.err.toStdString();
        const QString& text = c.status == 0 ? r.out : r.err;
        EXPECT_EQ(c.out.isEmpty(), text.isEmpty()) << c.args.join(' ').toStdString() << "\n"
                                                   << text.toStdString();
        EXPECT_TRUE(text.contains(c.out)) << c.args.join(' ').toStdString() << "\n" << text.toStdString();
    }

    // The certificate through the program as a user runs it: it makes its own fonts without a display.
    QProcess cli;
    cli.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    cli.start(QUELLIX_CLI_PATH, {"records", "pdf", record.id, "-o", dir.file("cert.pdf")});
    ASSERT_TRUE(cli.waitForFinished(30000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    const QString text = PdfText(dir.file("cert.pdf"));
    EXPECT_TRUE(text.contains("Calibration Certificate")) << text.toStdString();
    EXPECT_TRUE(text.contains("Fluke 726 #4471")) << text.toStdString();
}

} // namespace quellix
