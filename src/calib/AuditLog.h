// The audit trail of writes to a unit: one JSON line per write in $XDG_DATA_HOME/quellix/audit.log
// (~/.local/share/quellix/audit.log), appended through the one line appender (LineAppender.h) as the
// recorder appends its readings: programs writing at once never mix their lines, and an entry is made
// once its whole line is in the file; the part of a line left by a program killed in the middle of its
// write is no entry, and the next append removes it. Each line tells when, who (user and host), with what
// (tool and version), to which port and unit, what was sent, each field it changed with the old and the new
// value, and the result.
#pragma once

#include "ConfigBlock.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace quellix {

// One changed field, named and shown as `quellix-cli diff` shows it: "channel2.point1.value", texts in
// double quotes (so blanks show), numbers in the channel's decimals, "---" for no value.
struct AuditChange {
    QString field;
    QString oldValue; // UnknownValue when no configuration was read from the unit before
    QString newValue;
};

inline constexpr char UnknownValue[] = "unknown";

struct AuditEntry {
    QDateTime time;
    QString user;
    QString host;
    QString tool; // "quellix", "quellix-cli"
    QString toolVersion;
    QString port;   // as the user named it: "COM1" or a device path
    QString device; // the device it opened
    QString unitVersion;
    QString sent;   // what was sent, in words: "configuration (Send to unit)", "write plant.json"
    QString record; // the calibration record the write belongs to; empty for none
    std::vector<AuditChange> changes;
    QString result; // "done", or what went wrong
};

// An entry of `tool` for now, with the login name, the host and this program's version filled in.
AuditEntry NewAuditEntry(const QString& tool);

// The fields of `sent` that the unit keeps (texts, flags, calibration) and that differ from `before`,
// the configuration last read from that unit; with no `before`, every such field with the old value
// UnknownValue.
std::vector<AuditChange> AuditChanges(const ConfigBlock* before, const ConfigBlock& sent);

QByteArray AuditLine(const AuditEntry& entry);

class AuditLog {
public:
    explicit AuditLog(QString path);
    // The log in the user's data directory.
    static AuditLog Default();

    QString Path() const { return path_; }

    // Whether a line can be appended now: the directory made when missing, the file opened, and room on
    // its file system. For asking before the write to the unit, so that the user can choose to write
    // without the audit line. False with the reason in `error`.
    bool Check(QString* error) const;
    // Appends the entry's line. False, with the reason in `error` naming the log, when it cannot be
    // written (a full disk among others); nothing of the line stays then.
    bool Append(const AuditEntry& entry, QString* error) const;

private:
    QString path_;
};

struct AuditFilter {
    QDateTime since; // invalid: from the start
    QString port;    // empty: every port; else matches the entry's port or device
};

struct AuditReading {
    std::vector<AuditEntry> entries; // oldest first, those the filter lets through
    // Lines that are no entry, by line number: a line left cut off by a writer stopped in the middle of
    // it (its end is missing), or something else written into the file.
    QStringList damaged;
};

// Reads the whole log; a missing file holds no entries. False with `error` when it cannot be read.
bool ReadAuditLog(const QString& path, const AuditFilter& filter, AuditReading& out, QString* error);

// "2026-12-09" (local midnight), "2026-12-09T14:00" or "2026-12-09 14:00:30" (local time), or either
// with a UTC offset or "Z"; nothing for other text.
std::optional<QDateTime> ParseAuditSince(const QString& text);

} // namespace quellix
