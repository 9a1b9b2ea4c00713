#include "PortCommands.h"

#include "AtomicSave.h"
#include "CliFiles.h"
#include "ConfigCompare.h"
#include "ConfigJson.h"
#include "ConfigView.h"
#include "ReadingFormat.h"
#include "UnitSession.h"
#include "WriteAudit.h"

#include <QDateTime>
#include <QTimer>

#include <csignal>

namespace quellix {

namespace {

// The note for a command ended by Ctrl-C or a stop signal; the status stays 128 + the signal.
int Interrupted(CliOutput& output, int status, const QString& consequence) {
    output.note(QStringLiteral("quellix-cli: stopped; ") + consequence);
    return status;
}

// Ctrl-C is the usual end of a watch; SIGTERM or SIGHUP still end it with 128 + the signal.
int WatchEnd(const UnitSession& unit, int status) {
    return unit.stopSignal() == SIGINT ? ExitDone : status;
}

} // namespace

int InfoCommand(const PortName& port, CliOutput& output) {
    UnitSession unit(port, output);
    if (const int status = unit.open(); status != ExitDone)
        return status;
    QString version;
    if (const int status = unit.version(version); status != ExitDone)
        return unit.stopSignal() ? Interrupted(output, status, QStringLiteral("no answer yet")) : status;
    output.result() << EscapedControls(version) << u'\n';
    return ExitDone;
}

std::optional<ConfigBlock> ReadUnitConfig(const PortName& port, CliOutput& output, int& status) {
    UnitSession unit(port, output);
    ConfigBlock block = DefaultBlock();
    status = unit.open();
    if (status == ExitDone)
        status = unit.download(block, QStringLiteral("Reading"));
    if (status != ExitDone) {
        if (unit.stopSignal())
            Interrupted(output, status, QStringLiteral("nothing compared"));
        return std::nullopt;
    }
    output.detail(QStringLiteral("read the configuration of the unit on %1").arg(unit.portLabel()));
    return block;
}

int ReadCommand(const PortName& port, const QString& target, const QString& base, CliOutput& output) {
    ConfigBlock block = DefaultBlock();
    if (!base.isEmpty()) {
        QString message;
        const std::optional<ConfigBlock> loaded = LoadConfigFile(base, message);
        if (!loaded)
            return output.fail(ExitFileError, message);
        block = *loaded;
        output.detail(QStringLiteral("read %1").arg(base));
    }
    // Known before the unit is asked, not after a read of seconds.
    if (QString why; !IsStandardOutput(target) && !CanSaveFile(target, &why))
        return output.fail(ExitFileError, target + QStringLiteral(": cannot be written: ") + why);
    {
        UnitSession unit(port, output);
        int status = unit.open();
        if (status == ExitDone)
            status = unit.download(block, QStringLiteral("Reading"));
        if (status != ExitDone)
            return unit.stopSignal()
                       ? Interrupted(output, status, target + QStringLiteral(" was not written"))
                       : status;
    }
    return WriteConfigOutput(block, target, OutputForm(target), output);
}

namespace {

// The upload and, with `verify`, the comparison of what the unit then holds.
int UploadAndVerify(UnitSession& unit, const ConfigBlock& block, const QString& file, bool verify,
                    QString* version, CliOutput& output) {
    int status = unit.upload(block);
    if (status != ExitDone)
        return unit.stopSignal()
                   ? Interrupted(output, status, QStringLiteral("the unit may hold part of %1").arg(file))
                   : status;
    if (!verify) {
        output.detail(QStringLiteral("wrote %1 to the unit on %2").arg(file, unit.portLabel()));
        return ExitDone;
    }
    // A fresh block: what is compared can only have come from the unit.
    ConfigBlock back = DefaultBlock();
    status = unit.download(back, QStringLiteral("Verifying"), version);
    if (status != ExitDone)
        return unit.stopSignal() ? Interrupted(output, status, QStringLiteral("not verified")) : status;
    const std::vector<FieldDifference> differences = CompareConfigs(block, back, CompareScope::UnitHeld);
    if (differences.empty()) {
        output.detail(QStringLiteral("the unit on %1 holds %2").arg(unit.portLabel(), file));
        return ExitDone;
    }
    for (const FieldDifference& d : differences) {
        auto shown = [&d](const QString& value) { return d.text ? QuotedText(value) : value; };
        output.result() << d.field << QStringLiteral(": ") << shown(d.first) << QStringLiteral(" -> ")
                        << shown(d.second) << u'\n';
    }
    const qsizetype count = differences.size();
    return output.fail(ExitDifferences,
                       QStringLiteral("%1: the unit holds something else than %2 in %3 %4")
                           .arg(unit.portLabel(), file)
                           .arg(count)
                           .arg(count == 1 ? QStringLiteral("field") : QStringLiteral("fields")));
}

} // namespace

int WriteCommand(const PortName& port, const QString& file, bool verify, bool audit, CliOutput& output) {
    QString message;
    const std::optional<ConfigBlock> block = LoadConfigFile(file, message);
    if (!block)
        return output.fail(ExitFileError, message);
    output.detail(QStringLiteral("read %1").arg(file));
    WriteAudit auditLine(audit, port, file, output);
    if (const int status = auditLine.check(); status != ExitDone)
        return status;
    UnitSession unit(port, output);
    int status = unit.open();
    // The audit line names the unit written to: the check's read begins with its version; without the
    // check it is asked first (with it, a request more would cost a round trip on every write).
    QString version;
    if (status == ExitDone && auditLine.enabled() && !verify)
        status = unit.version(version);
    if (status != ExitDone)
        return status;
    status = UploadAndVerify(unit, *block, file, verify, auditLine.enabled() ? &version : nullptr, output);
    return auditLine.finish(version, *block, status, unit.stopSignal());
}

namespace {

// Prints each reading as it is taken; ends the session once enough lines are printed, or when the
// first readings never come.
class ReadingPrinter : public LinkListener {
public:
    ReadingPrinter(UnitSession& unit, CliOutput& output, const WatchOptions& options,
                   const ChannelNames& names)
        : unit_(unit), output_(output), options_(options), names_(names) {}

    void ReadingsTaken(ChannelValues raw, ChannelValues displayed, ChannelFlagBytes flags) override {
        const Reading reading =
            Reading::fromSpans(raw, displayed, flags, QDateTime::currentMSecsSinceEpoch());
        const QByteArray line = options_.json ? JsonLine(reading, &names_) : CsvLine(reading);
        output_.result() << QString::fromUtf8(line);
        output_.result().flush();
        stale_ = false;
        if (++lines_ == options_.count)
            stopLater();
    }
    void ReadingsStale() override {
        if (lines_ == 0) {
            noAnswer_ = true;
            stopLater();
        } else if (!stale_) {
            output_.note(QStringLiteral("quellix-cli: %1: no readings for 5 seconds").arg(unit_.portLabel()));
        }
        stale_ = true;
    }

    bool noAnswer() const { return noAnswer_; }

private:
    // Not from inside the link's event.
    void stopLater() {
        QTimer::singleShot(0, &unit_, [this] { unit_.stop(); });
    }

    UnitSession& unit_;
    CliOutput& output_;
    const WatchOptions& options_;
    const ChannelNames& names_;
    int lines_ = 0;
    bool stale_ = false;
    bool noAnswer_ = false;
};

} // namespace

int WatchCommand(const PortName& port, const WatchOptions& options, CliOutput& output) {
    UnitSession unit(port, output);
    int status = unit.open();
    // The unit's own flags say how its displayed values read, and its tags name the columns.
    ConfigBlock block = DefaultBlock();
    if (status == ExitDone)
        status = unit.download(block, QStringLiteral("Reading"));
    if (status != ExitDone)
        return WatchEnd(unit, status);
    const ChannelNames names = ChannelNames::FromBlock(block);
    if (!options.json) {
        output.result() << QString::fromUtf8(CsvHeader(names));
        output.result().flush();
    }
    ReadingPrinter printer(unit, output, options, names);
    status = unit.autoRead(block, options.intervalMs, printer);
    if (printer.noAnswer())
        return output.fail(
            ExitNoAnswer,
            QStringLiteral("%1: the unit did not answer the measurement request").arg(unit.portLabel()));
    return WatchEnd(unit, status);
}

} // namespace quellix
