// The calibration record: exact values, verdicts, the JSON and its schema, and the store that never
// changes a saved record.
#include "CalibRecord.h"
#include "JsonSchemaCheck.h"
#include "RecordStore.h"
#include "SampleRecord.h"
#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace quellix {

namespace {

Micros M(const char* text) {
    return *TextToMicros(QString::fromLatin1(text));
}

QJsonObject Schema() {
    return LoadJsonFile(QStringLiteral(QUELLIX_SOURCE_DIR "/data/quellix-calibration-record.schema.json"));
}

// Not adjusted, read once, and correcting the sample.
CalibrationRecord Correction() {
    CalibrationRecord r = SampleRecord();
    r.id = QStringLiteral("20261210T080000Z-00000001");
    r.replaces = SampleRecord().id;
    r.correctionReason = QStringLiteral("wrong reference standard entered");
    r.after.reset();
    r.referenceDue = QDate();
    for (TestPoint& p : r.points)
        p.asLeft.reset();
    r.points.back().asFound.reset();
    return r;
}

} // namespace

TEST(Record, ValuesAreExactAndVerdictsFollowTheLimits) {
    EXPECT_EQ(PointVerdict(PointReading{M("25.0"), M("25.3")}, M("0.3")), Verdict::Pass)
        << "25.3 - 25.0 is 0.3";
    EXPECT_EQ(PointVerdict(PointReading{M("25.0"), M("24.69")}, M("0.3")), Verdict::Fail);
    EXPECT_EQ(MicrosText(M("-0.05"), 1), "-0.05");
    EXPECT_EQ(MicrosText(M("12.5"), 3), "12.500");
    for (const char* bad : {"", "-", "1,5", "1.0000001", "1e3", "12345678901"})
        EXPECT_FALSE(TextToMicros(QString::fromLatin1(bad))) << bad;

    const CalibrationRecord r = SampleRecord();
    ASSERT_EQ(r.points.size(), 5u);
    EXPECT_EQ(r.points[1].nominal, M("30")) << "25 % of 0.0 to 120.0";
    EXPECT_EQ(r.points[1].limit, M("0.6")) << "0.5 % of the span";
    EXPECT_EQ(AsFoundVerdict(r), Verdict::Fail);
    EXPECT_EQ(AsLeftVerdict(r), Verdict::Pass);
    CalibrationRecord c = Correction();
    EXPECT_EQ(AsFoundVerdict(c), Verdict::Fail) << "a failed point outweighs one not read";
    c.points.erase(c.points.begin() + 3);
    EXPECT_EQ(AsFoundVerdict(c), Verdict::Incomplete) << "the last point not read";
    c.points.pop_back();
    EXPECT_EQ(AsLeftVerdict(c), Verdict::Pass) << "not adjusted: as left is as found";
}

TEST(Record, JsonReadsBackAndSatisfiesTheSchema) {
    const QJsonObject schema = Schema();
    MiniValidator validator(schema);
    for (const CalibrationRecord& r : {SampleRecord(), Correction()}) {
        const QByteArray json = RecordToJson(r);
        QString error;
        const std::optional<CalibrationRecord> back = RecordFromJson(json, &error);
        ASSERT_TRUE(back) << error.toStdString();
        EXPECT_EQ(RecordToJson(*back), json);
        EXPECT_EQ(back->started, r.started);
        validator.check(QJsonDocument::fromJson(json).object(), schema, {});
    }
    EXPECT_TRUE(validator.errors.isEmpty()) << validator.errors.join("\n").toStdString();
    QSet<QString> named;
    validator.collect(schema, {}, named);
    EXPECT_EQ(named, validator.seen);
}

TEST(Record, RefusesWhatDoesNotAddUp) {
    const QByteArray json = RecordToJson(SampleRecord());
    const std::pair<const char*, const char*> edits[] = {
        {"\"asLeft\": \"pass\"", "\"asLeft\": \"fail\""}, // verdicts
        {"\"error\": \"0.8\", \"verdict\": \"fail\"",
         "\"error\": \"0.8\", \"verdict\": \"pass\""},                 // a point's
        {"\"error\": \"0.2\"", "\"error\": \"0.3\""},                  // not shown less applied
        {"\"high\": \"120.0\"", "\"high\": \"100.0\""},                // not the calibration's span
        {"\"technician\"", "\"engineer\""},                            // an unknown key
        {"\"id\": \"20261209T131503Z-3f9a2c1b\"", "\"id\": \"../x\""}, // no record id
        {"\"decimals\": 1", "\"decimals\": 2"},                        // not the flags' decimals
    };
    for (const auto& [from, to] : edits) {
        SCOPED_TRACE(to);
        QByteArray edited = json;
        ASSERT_NE(edited.indexOf(from), -1);
        QString error;
        EXPECT_FALSE(RecordFromJson(edited.replace(from, to), &error));
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(RecordStore, SavesOnceListsAndReads) {
    TempDir dir;
    const RecordStore store(dir.file("data/quellix/records"));
    QString error;
    ASSERT_TRUE(store.Save(SampleRecord(), &error)) << error.toStdString();
    const QString path = store.PathOf(SampleRecord().id);
    const QByteArray saved = TempDir::read(path);
    EXPECT_FALSE(QFileInfo(path).permissions() & QFile::WriteOwner) << "kept read-only";

    CalibrationRecord changed = SampleRecord();
    changed.technician = QStringLiteral("someone else");
    EXPECT_FALSE(store.Save(changed, &error)) << "a saved record is never replaced";
    EXPECT_TRUE(error.contains(SampleRecord().id)) << error.toStdString();
    EXPECT_EQ(TempDir::read(path), saved);

    CalibrationRecord orphan = Correction();
    orphan.replaces = QStringLiteral("20200101T000000Z-00000000");
    EXPECT_FALSE(store.Save(orphan, &error)) << "a correction of a record the store does not hold";
    ASSERT_TRUE(store.Save(Correction(), &error)) << error.toStdString();
    dir.write("data/quellix/records/stray.json", "{}");

    QStringList problems;
    const std::vector<RecordSummary> list = store.List(&problems);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].id, SampleRecord().id);
    EXPECT_EQ(list[0].replacedBy, Correction().id);
    EXPECT_EQ(list[1].replaces, SampleRecord().id);
    EXPECT_EQ(list[1].asLeft, Verdict::Fail);
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains("stray.json")) << problems[0].toStdString();

    EXPECT_TRUE(store.Read(SampleRecord().id, &error)) << error.toStdString();
    EXPECT_TRUE(store.Read(path, &error)) << error.toStdString();
    EXPECT_FALSE(store.Read(dir.file("data/quellix/records/stray.json"), &error));
    EXPECT_TRUE(error.contains("stray.json")) << error.toStdString();

    const RecordStore blocked(dir.write("file", "x") + QStringLiteral("/records"));
    EXPECT_FALSE(blocked.Save(SampleRecord(), &error));
    EXPECT_TRUE(error.startsWith("Cannot save the calibration record")) << error.toStdString();
}

} // namespace quellix
