// The commands that read the calibration records and the audit trail: `audit`, `records list`,
// `records show ID`, `records pdf ID -o FILE`, and `records correct ID`, which saves a correcting
// record. They work on the user's data directory and never touch a unit.
#pragma once

#include "CliOutput.h"

#include <QString>
#include <QStringList>

namespace quellix {

struct AuditOptions {
    QString since; // as typed; empty: the whole log
    QString port;
    bool json = false;
};
int AuditCommand(const AuditOptions& options, CliOutput& output);

struct RecordsOptions {
    QString target; // the PDF to write, for pdf
    // For correct: why (required), and the administrative fields to correct; empty keeps the value.
    QString reason;
    QString technician;
    QString reference;
    QString referenceDue; // as typed, YYYY-MM-DD
};

// `words`: "list", "show ID", "pdf ID" or "correct ID".
int RecordsCommand(const QStringList& words, const RecordsOptions& options, CliOutput& output);

} // namespace quellix
