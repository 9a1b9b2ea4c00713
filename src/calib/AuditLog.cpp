#include "AuditLog.h"

#include "About.h"
#include "ConfigCompare.h"
#include "ConfigJson.h"
#include "LineAppender.h"
#include "OrderedJson.h"
#include "ReadingFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>

#include <pwd.h>
#include <sys/file.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace quellix {

namespace {

// Less room than this on the log's file system counts as full: a line of a whole configuration
// written without an earlier read takes about 3 KiB.
constexpr unsigned long long RoomNeeded = 64 * 1024;

QString LoginName() {
    char buffer[4096];
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(::geteuid());
}

// A block whose every field the unit keeps differs from `block`'s, to name each of them.
ConfigBlock Unlike(const ConfigBlock& block) {
    ConfigBlock other = block;
    const auto text = [](auto& s) { s.assign(s.text() == "~" ? "-" : "~"); };
    const auto number = [](std::int16_t& v) { v = v == 0 ? 1 : 0; };
    text(other.Header1);
    text(other.Header2);
    for (int i = 0; i < ChannelCount; ++i) {
        text(other.TagName[i]);
        text(other.UnitName[i]);
        other.ChannelFlags[i] ^= FlagDecimalsMask | FlagDisabled;
        ChannelCalibration& c = other.Calibration[i];
        number(c.Measured1);
        number(c.Calib1);
        number(c.Measured2);
        number(c.Calib2);
    }
    return other;
}

QString Shown(const FieldDifference& d, bool first) {
    const QString& value = first ? d.first : d.second;
    return d.text ? QuotedText(value) : value;
}

QString StringOf(const QJsonObject& o, const char* key) {
    return o[QLatin1String(key)].toString();
}

// An entry from one line; nothing when the line is no entry.
std::optional<AuditEntry> EntryOf(const QByteArray& line) {
    const QJsonDocument document = QJsonDocument::fromJson(line);
    const QJsonObject o = document.object();
    AuditEntry e;
    e.time = QDateTime::fromString(StringOf(o, "time"), Qt::ISODateWithMs);
    if (!document.isObject() || !e.time.isValid())
        return std::nullopt;
    e.user = StringOf(o, "user");
    e.host = StringOf(o, "host");
    e.tool = StringOf(o, "tool");
    e.toolVersion = StringOf(o, "toolVersion");
    e.port = StringOf(o, "port");
    e.device = StringOf(o, "device");
    e.unitVersion = StringOf(o, "unitVersion");
    e.sent = StringOf(o, "sent");
    e.record = StringOf(o, "record");
    for (const QJsonValue& c : o[QLatin1String("changes")].toArray()) {
        const QJsonObject change = c.toObject();
        e.changes.push_back({StringOf(change, "field"), StringOf(change, "old"), StringOf(change, "new")});
    }
    e.result = StringOf(o, "result");
    return e;
}

bool Passes(const AuditEntry& e, const AuditFilter& filter) {
    if (filter.since.isValid() && e.time < filter.since)
        return false;
    return filter.port.isEmpty() || e.port == filter.port || e.device == filter.port;
}

} // namespace

AuditEntry NewAuditEntry(const QString& tool) {
    AuditEntry e;
    e.time = QDateTime::currentDateTime();
    e.user = LoginName();
    e.host = QSysInfo::machineHostName();
    e.tool = tool;
    e.toolVersion = QString::fromLatin1(ProjectVersion);
    return e;
}

std::vector<AuditChange> AuditChanges(const ConfigBlock* before, const ConfigBlock& sent) {
    std::vector<AuditChange> changes;
    for (const FieldDifference& d :
         CompareConfigs(before ? *before : Unlike(sent), sent, CompareScope::UnitHeld))
        changes.push_back(
            {d.field, before ? Shown(d, true) : QString::fromLatin1(UnknownValue), Shown(d, false)});
    return changes;
}

QByteArray AuditLine(const AuditEntry& e) {
    JsonNode root;
    root.oneLine = true;
    root.add("time", JsonText(QString::fromLatin1(ReadingTimeText(e.time.toMSecsSinceEpoch()))));
    root.add("user", JsonText(e.user)).add("host", JsonText(e.host));
    root.add("tool", JsonText(e.tool)).add("toolVersion", JsonText(e.toolVersion));
    root.add("port", JsonText(e.port))
        .add("device", JsonText(e.device))
        .add("unitVersion", JsonText(e.unitVersion));
    root.add("sent", JsonText(e.sent))
        .add("record", e.record.isEmpty() ? QByteArray("null") : JsonText(e.record));
    JsonNode& changes = root.addArray("changes", true);
    for (const AuditChange& c : e.changes)
        changes.appendObject(true)
            .add("field", JsonText(c.field))
            .add("old", JsonText(c.oldValue))
            .add("new", JsonText(c.newValue));
    root.add("result", JsonText(e.result));
    return RenderJson(root) + '\n';
}

AuditLog::AuditLog(QString path) : path_(std::move(path)) {}

AuditLog AuditLog::Default() {
    return AuditLog(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                    QStringLiteral("/quellix/audit.log"));
}

bool AuditLog::Check(QString* error) const {
    const auto fail = [&](const QString& why) {
        *error = QStringLiteral("Cannot write the audit log %1: %2").arg(path_, why);
        return false;
    };
    if (!QDir().mkpath(QFileInfo(path_).absolutePath()))
        return fail(QStringLiteral("its directory cannot be made"));
    LineAppender file(LineAppender::CutOffLine::Removed);
    QString why;
    if (!file.Open(path_, &why))
        return fail(why);
    struct statvfs fs {};
    if (::fstatvfs(file.Fd(), &fs) == 0 &&
        static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize < RoomNeeded)
        return fail(QStringLiteral("no room left on its file system"));
    return true;
}

bool AuditLog::Append(const AuditEntry& entry, QString* error) const {
    QString why;
    // Only entries go into the log: the part of a line whose writer was killed in the middle of its write
    // is none, and goes.
    LineAppender file(LineAppender::CutOffLine::Removed);
    if (QDir().mkpath(QFileInfo(path_).absolutePath()) && file.Open(path_, &why)) {
        switch (file.Append(AuditLine(entry), &why)) {
        case LineAppender::Result::Done:
            return true;
        case LineAppender::Result::Deleted:
            why = QStringLiteral("the file was deleted while it was written");
            break;
        case LineAppender::Result::Failed:
            break;
        }
    } else if (why.isEmpty()) {
        why = QStringLiteral("its directory cannot be made");
    }
    *error = QStringLiteral("Cannot write the audit log %1: %2").arg(path_, why);
    return false;
}

bool ReadAuditLog(const QString& path, const AuditFilter& filter, AuditReading& out, QString* error) {
    out = {};
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read the audit log %1: %2").arg(path, file.errorString());
        return false;
    }
    // Shared with other readers; a writer's line is whole before it lets go.
    ::flock(file.handle(), LOCK_SH);
    const QByteArray all = file.readAll();
    ::flock(file.handle(), LOCK_UN);
    const QList<QByteArray> lines = all.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const bool last = i + 1 == lines.size();
        if (last && lines[i].isEmpty())
            break;
        const std::optional<AuditEntry> entry = last ? std::nullopt : EntryOf(lines[i]);
        if (!entry)
            out.damaged << QStringLiteral("line %1: %2")
                               .arg(i + 1)
                               .arg(last ? QStringLiteral("cut off (its end is missing)")
                                         : QStringLiteral("no entry"));
        else if (Passes(*entry, filter))
            out.entries.push_back(*entry);
    }
    return true;
}

std::optional<QDateTime> ParseAuditSince(const QString& text) {
    static const QRegularExpression dateOnly(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    if (dateOnly.match(text).hasMatch()) {
        const QDate date = QDate::fromString(text, Qt::ISODate);
        if (date.isValid())
            return date.startOfDay();
        return std::nullopt;
    }
    QString iso = text;
    if (iso.size() > 10 && iso[10] == u' ')
        iso[10] = u'T';
    const QDateTime time = QDateTime::fromString(iso, Qt::ISODateWithMs);
    if (!time.isValid() || iso.size() < 16)
        return std::nullopt;
    return time;
}

} // namespace quellix
