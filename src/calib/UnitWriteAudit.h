// The audit line of one write to a unit, for every tool that writes: the window's "Send to unit",
// `quellix-cli write`, the fleet's write and a calibration's adjustment all call AuditUnitWrite, so
// their lines are made alike.
#pragma once

#include "AuditLog.h"
#include "ConfigBlock.h"

#include <QString>

#include <optional>

namespace quellix {

struct UnitWrite {
    QString tool; // "quellix", "quellix-cli"
    QString port; // as the user named it
    QString device;
    QString unitVersion; // as the unit sent it, without the window's "Software version: "
    QString sent;        // in words: "configuration (Send to unit)", "write plant.json"
    QString record;      // the calibration record it belongs to, or empty
    // The configuration last read from that unit in this program; none: every field's old value is
    // "unknown".
    std::optional<ConfigBlock> before;
    ConfigBlock block{}; // what was sent
};

// Appends the line of `write`, which ended with `result` ("done", or what went wrong). False, with the
// reason naming the log, when the line could not be written: the caller must tell the user.
bool AuditUnitWrite(const UnitWrite& write, const QString& result, QString* error,
                    const AuditLog& log = AuditLog::Default());

// The version text without the window's caption before it.
QString UnitVersionOf(const QString& caption);

} // namespace quellix
