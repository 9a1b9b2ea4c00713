// The commands that read the calibration records and the audit trail: `audit`, `records list`,
// `records show ID` and `records pdf ID -o FILE`. They work on the user's data directory and never
// touch a unit.
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

// `words`: "list", "show ID" or "pdf ID"; `target` the PDF to write for pdf.
int RecordsCommand(const QStringList& words, const QString& target, CliOutput& output);

} // namespace quellix
