// The fleet commands against six units at once, through quellix-cli as a script calls it: two that
// answer, one muted, one that stores something else, one whose port is missing and one whose port
// another program holds. The muted unit costs its three resends once, in the backup; the other runs
// leave it out with --only.
#include "BlockImages.h"
#include "ChildProcess.h"
#include "Cli.h"
#include "CliRun.h"
#include "ConfigCompare.h"
#include "ConfigJson.h"
#include "DeviceLocks.h"
#include "SimProcess.h"
#include "TempDir.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <memory>

namespace quellix {

namespace {

ConfigBlock plant() {
    ConfigBlock b = DefaultBlock();
    b.Header1.assign("Line 3");
    b.TagName[0].assign("Boiler Flow");
    b.UnitName[1].assign("bar");
    b.Calibration[2].Calib2 = 1600;
    return b;
}

// The report's rows by unit name: result, version, differences.
QMap<QString, QJsonObject> reportRows(const QString& path) {
    QMap<QString, QJsonObject> rows;
    for (const QJsonValue& v : QJsonDocument::fromJson(TempDir::read(path)).object()["units"].toArray())
        rows.insert(v["name"].toString(), v.toObject());
    return rows;
}

class FleetE2eTest : public testing::Test {
protected:
    void SetUp() override {
        qputenv("XDG_DATA_HOME", dir.file("data").toLocal8Bit());
        ConfigBlock old = DefaultBlock();
        old.Header1.assign("Line 3 old");
        start("ok", {}, old);
        start("tagged", {}, old);
        start("muted", {"--mute"}, old);
        start("other", {"--store-other"}, old);
        start("held", {}, old);
        dir.write("plant.json", ConfigToJson(plant()));
        QByteArray csv = "name,port,config,tag2\n";
        for (const char* name : {"ok", "tagged", "muted", "other", "gone", "held"}) {
            const QString port = sims.count(name) ? sims[name]->path() : dir.file("no-such-tty");
            csv += QByteArray(name) + ',' + port.toUtf8() + ",plant.json," +
                   (QByteArray(name) == "tagged" ? "Feed Pump" : "") + '\n';
        }
        dir.write("inventory.csv", csv);
    }
    void TearDown() override { qunsetenv("XDG_DATA_HOME"); }

    void start(const QString& name, const QStringList& extra, const ConfigBlock& state) {
        dir.write(name + ".qlx", BlockImage(state));
        sims[name] = std::make_unique<SimProcess>(QStringList{"--state", dir.file(name + ".qlx")} + extra,
                                                  SimProcess::Port::LeaveClosed);
        ASSERT_TRUE(sims[name]->started());
    }
    ConfigBlock stored(const QString& name) const {
        return BlockFromImage(TempDir::read(dir.file(name + ".qlx")));
    }
    QString inventory() const { return dir.file("inventory.csv"); }

    TempDir dir;
    std::map<QString, std::unique_ptr<SimProcess>> sims;
};

} // namespace

TEST_F(FleetE2eTest, BackupDiffAndWriteReportEveryUnit) {
    const DeviceLockHolder holder(sims["held"]->path());
    const ConfigBlock old = stored("ok");
    QDir().mkpath(dir.file("backup"));
    dir.write("backup/muted.json", "earlier backup\n");
    QDir().mkpath(dir.file("backup/tagged.json")); // no file can take its place

    // Backup: a unit that fails keeps its earlier file; no answer outranks the port errors.
    const CliResult backup = runCli(
        {"fleet", "backup", "--dir", dir.file("backup"), inventory(), "--report", dir.file("backup.json")});
    EXPECT_EQ(backup.status, 4) << backup.err.toStdString();
    EXPECT_EQ(TempDir::read(dir.file("backup/ok.json")), ConfigToJson(old));
    EXPECT_EQ(TempDir::read(dir.file("backup/muted.json")), "earlier backup\n");
    EXPECT_FALSE(QFileInfo::exists(dir.file("backup/gone.json")));
    QMap<QString, QJsonObject> rows = reportRows(dir.file("backup.json"));
    const std::pair<const char*, const char*> backupResults[] = {
        {"ok", "ok"},    {"tagged", "file error"}, {"muted", "no answer"},
        {"other", "ok"}, {"gone", "port error"},   {"held", "port error"},
    };
    for (const auto& [name, result] : backupResults)
        EXPECT_EQ(rows[name]["result"].toString(), result) << name;
    EXPECT_EQ(rows["ok"]["version"].toString(), "QX-4 V2.10");
    EXPECT_TRUE(rows["muted"]["message"].toString().contains("did not answer the version request"));
    EXPECT_TRUE(
        rows["tagged"]["message"].toString().startsWith(dir.file("backup/tagged.json: cannot be written")));
    // One line per unit where no terminal is.
    EXPECT_EQ(backup.err.count('\n'), 6) << backup.err.toStdString();

    // A dry run reads and tells, and writes nothing.
    const QStringList answering{"--only", "ok,tagged,other"};
    const CliResult dry = runCli(QStringList{"fleet", "write", "--dry-run", inventory()} + answering);
    EXPECT_EQ(dry.status, 1) << dry.err.toStdString();
    EXPECT_TRUE(dry.out.contains("tagged: channel2.tag: \"Tag 2\" -> \"Feed Pump\"\n"))
        << dry.out.toStdString();
    EXPECT_TRUE(dry.out.contains("ok: header1: \"Line 3 old\" -> \"Line 3\"\n")) << dry.out.toStdString();
    for (const char* name : {"ok", "tagged", "other"})
        EXPECT_EQ(BlockImage(stored(name)), BlockImage(old)) << name;

    // Write with its check: the port errors outrank the unit that stores something else.
    const CliResult write = runCli({"fleet", "write", inventory(), "--only", "ok,tagged,other,gone,held",
                                    "--report", dir.file("write.csv")});
    EXPECT_EQ(write.status, 3) << write.err.toStdString();
    EXPECT_TRUE(CompareConfigs(stored("ok"), plant(), CompareScope::UnitHeld).empty());
    ConfigBlock tagged = plant();
    tagged.TagName[1].assign("Feed Pump");
    EXPECT_TRUE(CompareConfigs(stored("tagged"), tagged, CompareScope::UnitHeld).empty());
    const QByteArray report = TempDir::read(dir.file("write.csv"));
    EXPECT_TRUE(report.contains("\nother,") &&
                report.contains(",differs,\"channel1.tag: \"\"Boiler Flo\"\" -> \"\"Boiler Flow\"\"\","))
        << report.toStdString();
    EXPECT_EQ(report.count('\n'), 6) << report.toStdString();
    EXPECT_EQ(write.out, "other: channel1.tag: \"Boiler Flo\" -> \"Boiler Flow\"\n");
    // One audit line per unit whose upload began, with its end; none for a port that did not open.
    const QByteArray audit = TempDir::read(dir.file("data/quellix/audit.log"));
    EXPECT_EQ(audit.count('\n'), 3) << audit.toStdString();
    for (const char* name : {"ok", "tagged", "other"})
        EXPECT_TRUE(audit.contains("inventory.csv (" + QByteArray(name) + ")")) << name;
    EXPECT_TRUE(audit.contains("differs")) << audit.toStdString();

    // Diff: only what differs, the unit's value first.
    const CliResult diff = runCli(QStringList{"fleet", "diff", inventory()} + answering);
    EXPECT_EQ(diff.status, 1);
    EXPECT_EQ(diff.out, write.out);
    EXPECT_EQ(runCli({"fleet", "diff", inventory(), "--only", "ok,tagged"}).status, 0);
}

// SIGTERM in the middle of a write: nothing more reaches any unit, the unit under way ends "stopped"
// and so does the one --jobs 1 kept waiting; the report is written and the status is 128 + SIGTERM.
TEST_F(FleetE2eTest, AStopSignalEndsTheUnitsUnderWay) {
    start("slow", {"--log", "--reply-delay", "300"}, DefaultBlock());
    QByteArray csv = "name,port,config\nslow," + sims["slow"]->path().toUtf8() + ",plant.json\nok," +
                     sims["ok"]->path().toUtf8() + ",plant.json\n";
    dir.write("two.csv", csv);
    ChildProcess cli(QUELLIX_CLI_PATH,
                     {"fleet", "write", "--jobs", "1", "--report", dir.file("r.json"), dir.file("two.csv")});
    const auto requests = [this] { return sims["slow"]->errorOutput().count("in "); };
    for (int i = 0; i < 400 && requests() < 2; ++i)
        QThread::msleep(10);
    ASSERT_GE(requests(), 2);
    const int sent = requests();
    ASSERT_TRUE(cli.signal(SIGTERM));
    EXPECT_EQ(cli.wait(10000), 128 + SIGTERM);
    // One request may have been on its way as the signal came; none follows it.
    QThread::msleep(600);
    EXPECT_LE(requests(), sent + 1);
    QMap<QString, QJsonObject> rows = reportRows(dir.file("r.json"));
    EXPECT_EQ(rows["slow"]["result"].toString(), "stopped");
    EXPECT_EQ(rows["ok"]["result"].toString(), "stopped");
    EXPECT_EQ(stored("ok").Header1.text(), "Line 3 old");
}

// Options that do not fit the fleet command are refused before the inventory is read.
TEST(FleetUsage, OptionsThatDoNotFitAreRefused) {
    const struct {
        QStringList args;
        const char* message;
    } cases[] = {
        {{"fleet", "read", "inv.csv"}, "unknown fleet command \"read\""},
        {{"fleet", "diff"}, "fleet takes a command"},
        {{"fleet", "backup", "inv.csv"}, "backup needs the directory to write: --dir DIR"},
        {{"fleet", "diff", "--dir", "b", "inv.csv"}, "--dir goes with backup alone"},
        {{"fleet", "diff", "--dry-run", "inv.csv"}, "--dry-run, --yes and --no-audit go with write alone"},
        {{"fleet", "info", "--jobs", "0", "inv.csv"}, "--jobs takes a number of units from 1, not \"0\""},
        {{"fleet", "info", "--report", "r.txt", "inv.csv"}, "--report: "},
    };
    for (const auto& c : cases) {
        const CliResult r = runCli(c.args);
        EXPECT_EQ(r.status, 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.message) && r.err.contains("help fleet")) << r.err.toStdString();
    }
}

// An inventory with an error does nothing at all: no unit is asked, no report written.
TEST_F(FleetE2eTest, AnInventoryErrorDoesNothing) {
    QByteArray csv = TempDir::read(inventory());
    csv.replace(",plant.json,Feed Pump", ",missing.json,Feed Pump");
    dir.write("inventory.csv", csv);
    const CliResult write = runCli({"fleet", "write", "--yes", inventory(), "--report", dir.file("r.json")});
    EXPECT_EQ(write.status, 5);
    EXPECT_TRUE(write.err.contains("inventory.csv: line 3, column 3 (config): ")) << write.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.file("r.json")));
    EXPECT_EQ(stored("ok").Header1.text(), "Line 3 old");
}

} // namespace quellix
