// The audit trail: what a line holds, reading it back with filters, a write that fails, and programs
// killed while appending.
#include "AuditLog.h"
#include "Charset.h"
#include "FileLimits.h"
#include "SignalProcess.h"
#include "TempDir.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

namespace quellix {

namespace {

AuditEntry Entry(const char* time, const char* port, const char* device) {
    AuditEntry e = NewAuditEntry(QStringLiteral("quellix-cli"));
    e.time = QDateTime::fromString(QString::fromLatin1(time), Qt::ISODate);
    e.port = QString::fromLatin1(port);
    e.device = QString::fromLatin1(device);
    e.unitVersion = QStringLiteral("QX-4 V2.10");
    e.sent = QStringLiteral("write plant.json");
    e.result = QStringLiteral("done");
    return e;
}

} // namespace

TEST(AuditLog, ChangesAreThoseOfTheWriteOrAllUnknown) {
    ConfigBlock before = DefaultBlock();
    ConfigBlock sent = before;
    TextToShortString(sent.TagName[1], QStringLiteral("Return \"Temp\""));
    sent.Calibration[0].Calib2 = 1250;
    const std::vector<AuditChange> changes = AuditChanges(&before, sent);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].field, "channel1.point2.value");
    EXPECT_EQ(changes[0].oldValue, "100.0");
    EXPECT_EQ(changes[0].newValue, "125.0");
    EXPECT_EQ(changes[1].field, "channel2.tag");
    EXPECT_EQ(changes[1].oldValue, "\"Tag 2\"");
    EXPECT_EQ(changes[1].newValue, "\"Return \\\"Temp\\\"\"");

    // Unknown before: the two headers and eight fields of each channel, all sent.
    const std::vector<AuditChange> unknown = AuditChanges(nullptr, sent);
    ASSERT_EQ(unknown.size(), 34u);
    for (const AuditChange& c : unknown)
        EXPECT_EQ(c.oldValue, UnknownValue) << c.field.toStdString();
    EXPECT_EQ(unknown[0].newValue, "\"Header Data\"");
}

TEST(AuditLog, AppendsOneLineEachAndReadsThemBackFiltered) {
    TempDir dir;
    const AuditLog log(dir.file("quellix/audit.log"));
    QString error;
    ASSERT_TRUE(log.Check(&error)) << error.toStdString();
    AuditEntry first = Entry("2026-12-08T16:00:00+01:00", "COM1", "/dev/ttyUSB0");
    first.changes = {{"channel1.tag", UnknownValue, "\"Boiler\nFlow\""}};
    first.record = QStringLiteral("20261209T131503Z-3f9a2c1b");
    for (const AuditEntry& e : {first, Entry("2026-12-09T09:30:00+01:00", "/dev/ttyUSB1", "/dev/ttyUSB1"),
                                Entry("2026-12-09T10:00:00+01:00", "COM2", "/dev/ttyUSB0")})
        ASSERT_TRUE(log.Append(e, &error)) << error.toStdString();
    const QByteArray text = TempDir::read(log.Path());
    EXPECT_EQ(text.count('\n'), 3) << "a line break in a value is escaped";
    const QJsonObject line = QJsonDocument::fromJson(text.left(text.indexOf('\n'))).object();
    for (const char* key : {"time", "user", "host", "tool", "toolVersion", "port", "device", "unitVersion",
                            "sent", "record", "changes", "result"})
        EXPECT_TRUE(line.contains(QLatin1String(key))) << key;

    struct Case {
        const char* since;
        const char* port;
        int entries;
    };
    const Case cases[] = {
        {"", "", 3}, {"2026-12-09T09:00+01:00", "", 2}, {"", "/dev/ttyUSB0", 2}, {"", "COM2", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.since) + " " + c.port);
        AuditFilter filter;
        if (*c.since)
            filter.since = *ParseAuditSince(QString::fromLatin1(c.since));
        filter.port = QString::fromLatin1(c.port);
        AuditReading reading;
        ASSERT_TRUE(ReadAuditLog(log.Path(), filter, reading, &error));
        EXPECT_EQ(int(reading.entries.size()), c.entries);
        EXPECT_TRUE(reading.damaged.isEmpty());
    }
    AuditReading all;
    ASSERT_TRUE(ReadAuditLog(log.Path(), {}, all, &error));
    EXPECT_EQ(all.entries[0].changes[0].newValue, "\"Boiler\nFlow\"");
    EXPECT_EQ(all.entries[0].record, first.record);
    EXPECT_EQ(all.entries[2].time, first.time.addSecs(18 * 3600));

    for (const char* bad : {"yesterday", "2026-13-01", "2026-12-09T25:00"})
        EXPECT_FALSE(ParseAuditSince(QString::fromLatin1(bad))) << bad;
    EXPECT_EQ(ParseAuditSince("2026-12-09")->time(), QTime(0, 0));
}

TEST(AuditLog, AFailedAppendLeavesTheLogAsItWas) {
    TempDir dir;
    const AuditLog log(dir.file("audit.log"));
    QString error;
    ASSERT_TRUE(log.Append(Entry("2026-12-09T10:00:00Z", "COM1", "/dev/ttyUSB0"), &error));
    const QByteArray before = TempDir::read(log.Path());
    bool appended = true;
    {
        // Room for part of the line only, as on a disk that fills up.
        FileSizeLimit limit(static_cast<rlim_t>(before.size() + 40));
        ASSERT_TRUE(limit.Ok());
        appended = log.Append(Entry("2026-12-09T11:00:00Z", "COM1", "/dev/ttyUSB0"), &error);
    }
    EXPECT_FALSE(appended);
    EXPECT_TRUE(error.contains(log.Path())) << error.toStdString();
    EXPECT_EQ(TempDir::read(log.Path()), before);
}

// Two programs append at once and are killed at a moment of their own: every line is a whole entry.
// The kernel may stop a write between two pages of the file, leaving the last line cut off: the reader
// passes over it, and the next append removes it.
TEST(AuditLog, KilledWritersLeaveOnlyWholeLines) {
    TempDir dir;
    const QString path = dir.file("audit.log");
    for (int round = 0; round < 3; ++round) {
        QProcess writers[2];
        for (QProcess& w : writers) {
            w.start(QStringLiteral(AUDIT_WRITER_PATH), {path});
            ASSERT_TRUE(w.waitForReadyRead(10000)) << "the writer never said ready";
        }
        QThread::msleep(20 + 15 * round);
        for (QProcess& w : writers) {
            EXPECT_TRUE(SignalProcess(w, SIGKILL));
            w.waitForFinished(10000);
        }
    }
    QString error;
    AuditReading reading;
    ASSERT_TRUE(ReadAuditLog(path, {}, reading, &error));
    EXPECT_GT(reading.entries.size(), 6u);
    EXPECT_LE(reading.damaged.size(), 1) << reading.damaged.join("\n").toStdString();

    // What a write stopped between two pages leaves.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("{ \"time\": \"2026-12-09T1");
    file.close();
    ASSERT_TRUE(AuditLog(path).Append(Entry("2026-12-09T12:00:00Z", "COM1", "/dev/ttyUSB0"), &error));
    ASSERT_TRUE(ReadAuditLog(path, {}, reading, &error));
    EXPECT_TRUE(reading.damaged.isEmpty()) << reading.damaged.join("\n").toStdString();
    EXPECT_EQ(qsizetype(reading.entries.size()), TempDir::read(path).count('\n'));
    EXPECT_EQ(reading.entries.back().port, "COM1");
}

} // namespace quellix
