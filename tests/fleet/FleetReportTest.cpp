#include "FleetReport.h"
#include "FleetProgress.h"

#include "TempDir.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace quellix {

namespace {

// 2026-12-09 08:15:30.123 UTC.
constexpr qint64 Start = 1796804130123;

std::vector<UnitReport> Reports() {
    UnitReport ok{"press-1", "COM1", "QX-4 V2.10", UnitOutcome::Ok, {}, {}, Start, 4213};
    UnitReport differs{
        "press, \"2\"", "/dev/ttyUSB1", "QX-4 V2.10", UnitOutcome::Differs, {}, {}, Start, 3900};
    differs.differences = {{"channel2.tag", "Tag 2", "Feed Pump", true},
                           {"channel2.point1.value", "1.00", "1.25", false}};
    UnitReport gone{"press-3", "/dev/ttyUSB2",
                    "",        UnitOutcome::PortError,
                    {},        "/dev/ttyUSB2: device\x1b not found",
                    Start + 5, 2};
    return {ok, differs, gone};
}

} // namespace

TEST(FleetReportTest, WritesEachUnitAsCsvAndJson) {
    const std::vector<UnitReport> units = Reports();
    const QTimeZone utc = QTimeZone::utc();
    EXPECT_EQ(ReportCsv(units, utc).toStdString(),
              "name,port,version,result,differences,start,duration,message\n"
              "press-1,COM1,QX-4 V2.10,ok,,2026-12-09T08:15:30.123+00:00,4.213,\n"
              "\"press, \"\"2\"\"\",/dev/ttyUSB1,QX-4 V2.10,differs,"
              "\"channel2.tag: \"\"Tag 2\"\" -> \"\"Feed Pump\"\"; channel2.point1.value: 1.00 -> 1.25\","
              "2026-12-09T08:15:30.123+00:00,3.900,\n"
              "press-3,/dev/ttyUSB2,,port error,,2026-12-09T08:15:30.128+00:00,0.002,"
              "/dev/ttyUSB2: device\\u001B not found\n");

    const QByteArray json = ReportJson(units, utc);
    const QJsonDocument document = QJsonDocument::fromJson(json);
    ASSERT_TRUE(document.isObject()) << json.toStdString();
    EXPECT_EQ(document["format"].toString(), "quellix-fleet-report");
    const QJsonArray rows = document["units"].toArray();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[1]["name"].toString(), "press, \"2\"");
    EXPECT_EQ(rows[1]["result"].toString(), "differs");
    EXPECT_EQ(rows[1]["differences"][0]["unit"].toString(), "Tag 2");
    EXPECT_EQ(rows[1]["differences"][1]["desired"].toString(), "1.25");
    EXPECT_EQ(rows[2]["message"].toString(), "/dev/ttyUSB2: device\x1b not found");
    EXPECT_EQ(rows[2]["start"].toString(), "2026-12-09T08:15:30.128+00:00");
    EXPECT_EQ(rows[0]["duration"].toDouble(), 4.213);
    EXPECT_NE(json.indexOf("\n    {\n      \"name\": \"press-1\",\n      \"port\": \"COM1\",\n"), -1);
    EXPECT_EQ(ReportJson({}, utc),
              "{\n  \"format\": \"quellix-fleet-report\",\n  \"version\": 1,\n  \"units\": []\n}\n");
}

TEST(FleetReportTest, SavesTheFormItsNameAsksFor) {
    TempDir dir;
    QString error;
    EXPECT_TRUE(SaveReport(dir.file("r.CSV"), Reports(), &error));
    EXPECT_TRUE(TempDir::read(dir.file("r.CSV")).startsWith("name,port,"));
    EXPECT_TRUE(SaveReport(dir.file("r.json"), Reports(), &error));
    EXPECT_TRUE(TempDir::read(dir.file("r.json")).startsWith("{\n"));
    EXPECT_FALSE(SaveReport(dir.file("r.txt"), Reports(), &error));
    EXPECT_EQ(error, "a report's name ends in \".csv\" or \".json\", which tells its form");
    EXPECT_FALSE(QFile::exists(dir.file("r.txt")));
    EXPECT_FALSE(SaveReport(dir.file("none/r.csv"), Reports(), &error));
}

TEST(FleetReportTest, ExitStatusIsTheMostSevereResult) {
    using O = UnitOutcome;
    const std::pair<std::vector<O>, int> cases[] = {
        {{O::Ok, O::Ok}, 0},
        {{}, 0},
        {{O::Ok, O::Differs}, 1},
        {{O::Differs, O::FileError}, 5},
        {{O::FileError, O::PortError, O::Differs}, 3},
        {{O::PortError, O::NoAnswer, O::FileError}, 4},
    };
    for (const auto& [outcomes, status] : cases) {
        std::vector<UnitReport> units;
        for (O o : outcomes)
            units.push_back(UnitReport{"u", "p", "", o, {}, {}, 0, 0});
        EXPECT_EQ(FleetExitStatus(units), status) << units.size();
    }
}

TEST(FleetReportTest, ProgressRewritesLinesOnATerminalAndPrintsEndsElsewhere) {
    const std::vector<FleetProgress::Unit> units = {{"press-1", "COM1"}, {"p2\x1b", "/dev/ttyUSB1"}};
    FleetProgress live(units, true, 40);
    EXPECT_EQ(live.begin().toStdString(), "press-1   COM1                 waiting\n"
                                          "p2\\u001B  /dev/ttyUSB1         waiting\n");
    EXPECT_EQ(live.step(0, 5, 26).toStdString(), "\x1b[2A\rpress-1   COM1           5/26\x1b[K\x1b[2B\r");
    // Cut short of the last column, where the terminal would wrap it.
    EXPECT_EQ(live.finish(1, UnitOutcome::PortError, "not found").toStdString(),
              "\x1b[1A\rp2\\u001B  /dev/ttyUSB1         port err\x1b[K\x1b[1B\r");
    EXPECT_EQ(live.line(1).toStdString(), "p2\\u001B  /dev/ttyUSB1         port error: not found");

    FleetProgress plain(units, false);
    EXPECT_EQ(plain.begin(), "");
    EXPECT_EQ(plain.step(0, 13, 13), "");
    EXPECT_EQ(plain.finish(0, UnitOutcome::Differs, "2 fields").toStdString(),
              "press-1   COM1          13/13  differs: 2 fields\n");
}

} // namespace quellix
