#include "FleetCommand.h"

#include "AtomicSave.h"
#include "CliPort.h"
#include "ConfigJson.h"
#include "FleetProgress.h"
#include "FleetRunner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include "AuditLog.h"
#include <cstdio>

#include <sys/ioctl.h>
#include <unistd.h>

namespace quellix {

namespace {

struct FleetRequest {
    FleetOptions run;
    QString inventory;
    QString only;
    QString report;
    bool yes = false;
};

// The options checked against the command they go with; nothing, after the usage message, when they
// do not fit.
std::optional<FleetRequest> ReadRequest(const QCommandLineParser& parser, const QStringList& words,
                                        const FleetCommandOptions& o, const FleetContext& context,
                                        int& status) {
    const auto fail = [&](const QString& problem) {
        status = context.usage(problem);
        return std::nullopt;
    };
    if (words.size() != 2)
        return fail(QStringLiteral("fleet takes a command (info, backup, diff, write) and an inventory"));
    static const QStringList tasks{QStringLiteral("info"), QStringLiteral("backup"), QStringLiteral("diff"),
                                   QStringLiteral("write")};
    const QString& word = words.first();
    if (!tasks.contains(word))
        return fail(QStringLiteral("unknown fleet command \"%1\" (info, backup, diff, write)").arg(word));
    FleetRequest r;
    r.inventory = words[1];
    r.run.task = static_cast<FleetTask>(tasks.indexOf(word));
    if ((word == QLatin1String("backup")) != parser.isSet(o.dir))
        return fail(parser.isSet(o.dir) ? QStringLiteral("--dir goes with backup alone")
                                        : QStringLiteral("backup needs the directory to write: --dir DIR"));
    if (word != QLatin1String("write") &&
        (parser.isSet(o.dryRun) || parser.isSet(o.yes) || parser.isSet(o.noAudit)))
        return fail(QStringLiteral("--dry-run, --yes and --no-audit go with write alone"));
    if (parser.isSet(o.dryRun))
        r.run.task = FleetTask::DryRun;
    r.run.backupDir = parser.value(o.dir);
    if (parser.isSet(o.dir) && r.run.backupDir.isEmpty())
        return fail(QStringLiteral("--dir needs a directory"));
    if (parser.isSet(o.jobs)) {
        bool ok = false;
        r.run.jobs = parser.value(o.jobs).toInt(&ok);
        if (!ok || r.run.jobs < 1)
            return fail(QStringLiteral("--jobs takes a number of units from 1, not \"%1\"")
                            .arg(parser.value(o.jobs)));
    }
    r.only = parser.isSet(o.only) ? parser.value(o.only) : QString();
    r.report = parser.value(o.report);
    if (QString error; parser.isSet(o.report) && !ReportFormOf(r.report, error))
        return fail(QStringLiteral("--report: ") + error);
    r.yes = parser.isSet(o.yes);
    if (r.run.task == FleetTask::Write && !parser.isSet(o.noAudit))
        r.run.auditAs = QStringLiteral("fleet write ") + r.inventory;
    return r;
}

// Everything that can fail before a unit is asked: the inventory, the selection, where the files go.
std::optional<std::vector<InventoryUnit>> Prepare(const FleetRequest& r, const FleetContext& context,
                                                  CliOutput& output, int& status) {
    const PortResolver resolve = [&context](const QString& port, QString& error) -> std::optional<QString> {
        const std::optional<PortName> name = ResolvePort(port, context.formStateFile, error);
        return name ? std::optional(name->device) : std::nullopt;
    };
    std::vector<InventoryError> errors;
    const std::optional<Inventory> inventory = ReadInventory(r.inventory, resolve, errors);
    status = ExitFileError;
    if (!inventory) {
        for (const InventoryError& e : errors)
            output.fail(ExitFileError, r.inventory + QStringLiteral(": ") + e.text());
        output.fail(ExitFileError, QStringLiteral("nothing done"));
        return std::nullopt;
    }
    QString error;
    std::optional<std::vector<InventoryUnit>> units =
        r.only.isNull() ? std::optional(inventory->units) : SelectUnits(inventory->units, r.only, error);
    if (!units) {
        status = context.usage(QStringLiteral("--only: ") + error);
        return std::nullopt;
    }
    // As write does: a log that cannot take the units' lines stops the fleet before a unit is touched.
    if (!r.run.auditAs.isEmpty() && !AuditLog::Default().Check(&error)) {
        output.fail(ExitFileError, error + QStringLiteral("; nothing was written to any unit (--no-audit "
                                                          "writes without the audit lines)"));
        return std::nullopt;
    }
    if (!r.report.isEmpty() && !CanSaveFile(r.report, &error)) {
        output.fail(ExitFileError, r.report + QStringLiteral(": cannot be written: ") + error);
        return std::nullopt;
    }
    if (r.run.task == FleetTask::Backup) {
        const QString& dir = r.run.backupDir;
        if (!QDir().mkpath(dir) || !QFileInfo(dir).isDir()) {
            output.fail(ExitFileError, dir + QStringLiteral(": is no directory and cannot be made"));
            return std::nullopt;
        }
    }
    status = ExitDone;
    return units;
}

// With a terminal at both ends, a write to more than one unit waits for a "y".
bool Confirmed(const FleetRequest& r, std::size_t units, const FleetContext& context, CliOutput& output) {
    if (r.run.task != FleetTask::Write || r.yes || units < 2 || !context.terminal ||
        ::isatty(STDIN_FILENO) != 1)
        return true;
    output.progress(QStringLiteral("Write the desired configuration to %1 units of %2? [y/N] ")
                        .arg(units)
                        .arg(EscapedControls(r.inventory)));
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return false;
    const QByteArray line = in.readLine();
    // Ctrl-D leaves the cursor after the question.
    if (!line.endsWith('\n'))
        output.progress(QStringLiteral("\n"));
    const QString answer = QString::fromLocal8Bit(line).trimmed().toLower();
    return answer == QLatin1String("y") || answer == QLatin1String("yes");
}

// Whether progress lines can be rewritten in place: a terminal whose rows hold every unit's line.
bool LiveProgress(std::size_t units, const CliOutput& output, int& width) {
    winsize size{};
    if (!output.showsProgress() || ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0)
        return false;
    width = size.ws_col;
    return std::size_t(size.ws_row) > units;
}

QString DifferenceLine(const QString& name, const FieldDifference& d) {
    const auto shown = [&d](const QString& value) { return d.text ? QuotedText(value) : value; };
    return EscapedControls(name) + QStringLiteral(": ") + d.field + QStringLiteral(": ") + shown(d.first) +
           QStringLiteral(" -> ") + shown(d.second) + u'\n';
}

// What standard output gets, in the inventory's order once every unit is done, so that it never
// mixes with the progress lines: versions, or the differing fields, the unit's value first.
void PrintResults(const std::vector<UnitReport>& reports, FleetTask task, CliOutput& output) {
    for (const UnitReport& u : reports) {
        if (task == FleetTask::Info && u.outcome == UnitOutcome::Ok)
            output.result() << EscapedControls(u.name) << QStringLiteral(": ") << EscapedControls(u.version)
                            << u'\n';
        if (task == FleetTask::Diff && output.verbosity() == Verbosity::Quiet)
            continue;
        for (const FieldDifference& d : u.differences)
            output.result() << DifferenceLine(u.name, d);
    }
}

std::vector<UnitReport> RunUnits(const std::vector<InventoryUnit>& units, const FleetRequest& r,
                                 CliOutput& output, int& signal) {
    std::vector<FleetProgress::Unit> names;
    for (const InventoryUnit& u : units)
        names.push_back({u.name, u.port});
    int width = 80;
    const bool live = LiveProgress(units.size(), output, width);
    FleetProgress progress(names, live, width);
    const bool lines = output.verbosity() != Verbosity::Quiet;
    if (live)
        output.progress(progress.begin());
    FleetRunner runner(units, r.run);
    runner.setStepHandler([&](std::size_t unit, int step, int steps) {
        const QString text = progress.step(unit, step, steps);
        if (live)
            output.progress(text);
    });
    runner.setEndHandler([&](std::size_t unit, const UnitReport& report) {
        const qsizetype count = report.differences.size();
        const QString detail = report.outcome == UnitOutcome::Differs
                                   ? QStringLiteral("%1 field%2").arg(count).arg(count == 1 ? "" : "s")
                                   : report.message;
        const QString text = progress.finish(unit, report.outcome, detail);
        if (live || lines)
            output.progress(text);
    });
    std::vector<UnitReport> reports = runner.run();
    signal = runner.stopSignal();
    // A live line is cut at the terminal's width: the whole reason follows below the lines.
    if (live)
        for (const UnitReport& u : reports)
            if (!u.message.isEmpty())
                output.note(QStringLiteral("quellix-cli: ") + u.name + QStringLiteral(": ") + u.message);
    return reports;
}

} // namespace

int FleetCommand(const QCommandLineParser& parser, const QStringList& words,
                 const FleetCommandOptions& options, const FleetContext& context, CliOutput& output) {
    int status = ExitDone;
    const std::optional<FleetRequest> request = ReadRequest(parser, words, options, context, status);
    if (!request)
        return status;
    const std::optional<std::vector<InventoryUnit>> units = Prepare(*request, context, output, status);
    if (!units)
        return status;
    if (!Confirmed(*request, units->size(), context, output)) {
        output.note(QStringLiteral("quellix-cli: nothing written"));
        return ExitDone;
    }
    int signal = 0;
    const std::vector<UnitReport> reports = RunUnits(*units, *request, output, signal);
    PrintResults(reports, request->run.task, output);
    status = FleetExitStatus(reports);
    // A report that is not written fails a run that did not fail otherwise; a unit's failure stays first.
    if (QString error; !request->report.isEmpty() && !SaveReport(request->report, reports, &error)) {
        output.fail(ExitFileError, request->report + QStringLiteral(": cannot be written: ") + error);
        if (status == ExitDone || status == ExitDifferences)
            status = ExitFileError;
    }
    if (request->run.task == FleetTask::DryRun)
        output.note(QStringLiteral("quellix-cli: dry run: nothing written"));
    if (signal != 0) {
        output.note(QStringLiteral("quellix-cli: stopped; the units under way are reported \"stopped\""));
        return 128 + signal;
    }
    return status;
}

} // namespace quellix
