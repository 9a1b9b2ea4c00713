// What a fleet command did with each unit: the result words, the report file (".csv" or ".json") and
// the exit status of the whole run.
#pragma once

#include "ConfigCompare.h"

#include <QByteArray>
#include <QString>
#include <QTimeZone>
#include <optional>
#include <vector>

namespace quellix {

enum class UnitOutcome {
    Ok,        // done as asked; the unit holds what it should
    Differs,   // the unit holds something else than its desired configuration
    NoAnswer,  // the unit did not answer a request sent three times, or an item never came
    PortError, // the port could not be opened, or its device went away
    FileError, // the unit's file could not be written (a backup)
    Stopped,   // a stop signal ended the run before the unit was done
};

// "ok", "differs", "no answer", "port error", "file error", "stopped": the report's words.
QString OutcomeText(UnitOutcome outcome);

struct UnitReport {
    QString name;
    QString port;    // as the inventory names it
    QString version; // the unit's version text; empty when it was not asked or never answered
    UnitOutcome outcome = UnitOutcome::Ok;
    // The fields that differ, in the order of the text form: `first` the unit's value, `second` the
    // desired one, as CompareConfigs gives them with the unit first.
    std::vector<FieldDifference> differences;
    QString message;       // why it failed, as the command line says it; empty when it did not
    qint64 startMsecs = 0; // since the epoch
    qint64 durationMs = 0;
};

enum class ReportForm { Csv, Json };

// The form a report's name asks for by its extension, in any case; nothing with `error` set for
// another name (the reason, without the name). For a check before the units are asked.
std::optional<ReportForm> ReportFormOf(const QString& path, QString& error);

// One header line, then one line per unit, UTF-8:
//   name,port,version,result,differences,start,duration,message
// "differences" holds each differing field as diff prints it, "channel2.tag: "Tag 2" -> "Feed Pump"",
// the unit's value first, separated by "; "; "start" is local time with milliseconds and UTC offset;
// "duration" is in seconds with milliseconds. Control characters are escaped ("\u001B").
QByteArray ReportCsv(const std::vector<UnitReport>& units, const QTimeZone& zone = QTimeZone());
// {"format": "quellix-fleet-report", "version": 1, "units": [{"name", "port", "version", "result",
// "differences": [{"field", "unit", "desired"}], "start", "duration", "message"}]}, two-space indent,
// keys in this order; "duration" is a number of seconds.
QByteArray ReportJson(const std::vector<UnitReport>& units, const QTimeZone& zone = QTimeZone());

// Writes the report in the form its name asks for, whole or not at all; false with `error` set to the
// reason (without the name).
bool SaveReport(const QString& path, const std::vector<UnitReport>& units, QString* error);

// The exit status of a run, the command line's statuses: 0 when every unit is ok; 1 when some differ
// and none failed; otherwise the most severe failure of any unit, in this order:
//   4 no answer: a unit that stopped answering may hold part of a write, and needs someone at it;
//     so may a unit stopped by a signal while it was written, which counts as no answer here;
//   3 port error: a unit was not reached at all, nothing of it is known;
//   5 file error: the unit was read as asked, but its file was not written (the earlier one stays).
int FleetExitStatus(const std::vector<UnitReport>& units);

} // namespace quellix
