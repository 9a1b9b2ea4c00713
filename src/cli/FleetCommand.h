// quellix-cli fleet: info, backup, diff and write for every unit of an inventory at once, with the
// progress of each unit, its result on standard output and a report file.
#pragma once

#include "CliOutput.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>
#include <functional>

namespace quellix {

struct FleetCommandOptions {
    QCommandLineOption dir{QStringLiteral("dir"), QString(), QStringLiteral("DIR")};
    QCommandLineOption dryRun{QStringLiteral("dry-run")};
    QCommandLineOption yes{QStringLiteral("yes")};
    QCommandLineOption jobs{QStringLiteral("jobs"), QString(), QStringLiteral("N")};
    QCommandLineOption only{QStringLiteral("only"), QString(), QStringLiteral("NAMES")};
    QCommandLineOption report{QStringLiteral("report"), QString(), QStringLiteral("FILE")};
    QCommandLineOption noAudit{QStringLiteral("no-audit")};

    void addTo(QCommandLineParser& parser) const {
        parser.addOptions({dir, dryRun, yes, jobs, only, report, noAudit});
    }
};

struct FleetContext {
    QString formStateFile; // maps COM1..COM4 in the inventory's port column
    bool terminal = false; // standard error is a terminal: live progress lines, and write asks first
    // Prints a usage problem and returns its exit status.
    std::function<int(const QString& problem)> usage;
};

// `words`: the fleet command's word (info, backup, diff, write) and the inventory.
int FleetCommand(const QCommandLineParser& parser, const QStringList& words,
                 const FleetCommandOptions& options, const FleetContext& context, CliOutput& output);

} // namespace quellix
