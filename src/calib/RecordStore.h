// Where calibration records are kept: one file "<id>.json" each in a directory, by default
// $XDG_DATA_HOME/quellix/records (~/.local/share/quellix/records). A record is saved through the one
// atomic save, read-only, and never replaced: a correction is a new record that names the one it
// replaces.
#pragma once

#include "CalibRecord.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace quellix {

// What a list of records shows of each.
struct RecordSummary {
    QString id;
    QString path;
    QDateTime ended;
    int channel = 0;
    QString tag;
    QString unitVersion;
    QString port;
    QString technician;
    Verdict asFound = Verdict::Incomplete;
    Verdict asLeft = Verdict::Incomplete;
    QString replaces;   // the record this one corrects
    QString replacedBy; // the latest record that corrects this one; empty while it stands
};

class RecordStore {
public:
    explicit RecordStore(QString directory);
    // The store in the user's data directory.
    static RecordStore Default();

    QString Directory() const { return directory_; }
    QString PathOf(const QString& id) const;

    // Saves a new record, creating the directory when missing. Refused, with the reason in `error`,
    // when the record has no valid id, its id is taken, or it replaces a record the store does not hold.
    bool Save(const CalibrationRecord& record, QString* error) const;

    // A record by its id, or from a file path; nothing, with the reason, when it cannot be read or is
    // not a valid record.
    std::optional<CalibrationRecord> Read(const QString& idOrPath, QString* error) const;

    // Every record in the directory, oldest first. Files that are no valid record are left out and
    // named in `problems`, each with its reason. A missing directory holds no records.
    std::vector<RecordSummary> List(QStringList* problems) const;

private:
    QString directory_;
};

} // namespace quellix
