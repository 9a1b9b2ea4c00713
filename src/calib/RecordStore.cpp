#include "RecordStore.h"

#include "AtomicSave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <map>

namespace quellix {

namespace {

std::optional<CalibrationRecord> ReadFile(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QString why;
    std::optional<CalibrationRecord> record = RecordFromJson(file.readAll(), &why);
    if (!record)
        *error = QStringLiteral("%1 is no valid calibration record: %2").arg(path, why);
    return record;
}

} // namespace

RecordStore::RecordStore(QString directory) : directory_(std::move(directory)) {}

RecordStore RecordStore::Default() {
    return RecordStore(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                       QStringLiteral("/quellix/records"));
}

QString RecordStore::PathOf(const QString& id) const {
    return directory_ + u'/' + id + QStringLiteral(".json");
}

bool RecordStore::Save(const CalibrationRecord& record, QString* error) const {
    const auto fail = [&](const QString& why) {
        *error = QStringLiteral("Cannot save the calibration record %1: %2").arg(record.id, why);
        return false;
    };
    if (!IsRecordId(record.id))
        return fail(QStringLiteral("it has no valid id"));
    if (!record.replaces.isEmpty() && !QFileInfo::exists(PathOf(record.replaces)))
        return fail(
            QStringLiteral("the record it replaces, %1, is not in %2").arg(record.replaces, directory_));
    if (!QDir().mkpath(directory_))
        return fail(QStringLiteral("the directory %1 cannot be made").arg(directory_));
    QString why;
    SaveOptions options;
    options.keepOnceWritten = true;
    if (!SaveFileAtomically(PathOf(record.id), RecordToJson(record), options, &why))
        return fail(PathOf(record.id) + QStringLiteral(": ") + why);
    return true;
}

std::optional<CalibrationRecord> RecordStore::Read(const QString& idOrPath, QString* error) const {
    QString why;
    std::optional<CalibrationRecord> record =
        ReadFile(IsRecordId(idOrPath) ? PathOf(idOrPath) : idOrPath, &why);
    if (!record && error)
        *error = why;
    return record;
}

std::vector<RecordSummary> RecordStore::List(QStringList* problems) const {
    std::vector<RecordSummary> list;
    const QDir dir(directory_);
    for (const QFileInfo& info : dir.entryInfoList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        QString why;
        const std::optional<CalibrationRecord> r = ReadFile(info.filePath(), &why);
        if (r && info.completeBaseName() != r->id)
            why = QStringLiteral("%1 holds the record %2 under another name").arg(info.filePath(), r->id);
        if (!why.isEmpty()) {
            if (problems)
                problems->append(why);
            continue;
        }
        list.push_back({r->id,
                        info.filePath(),
                        r->ended,
                        r->channel,
                        r->tag,
                        r->unitVersion,
                        r->port,
                        r->technician,
                        AsFoundVerdict(*r),
                        AsLeftVerdict(*r),
                        r->replaces,
                        {}});
    }
    std::stable_sort(list.begin(), list.end(),
                     [](const RecordSummary& a, const RecordSummary& b) { return a.ended < b.ended; });
    // Oldest first, so the latest correction of a record is the one that names it last.
    std::map<QString, std::size_t> at;
    for (std::size_t i = 0; i < list.size(); ++i)
        at[list[i].id] = i;
    for (const RecordSummary& s : list)
        if (const auto it = at.find(s.replaces); !s.replaces.isEmpty() && it != at.end())
            list[it->second].replacedBy = s.id;
    return list;
}

} // namespace quellix
