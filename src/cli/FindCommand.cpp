// find: every serial device and every device the "Ports" section names, or the paths given, probed at
// once for the unit.
#include "PortCommands.h"

#include "ConfigJson.h"
#include "ProbeTargets.h"
#include "StopSignals.h"
#include "UnitProbe.h"

#include <QEventLoop>

namespace quellix {

namespace {

QString ResultText(const ProbeResult& result) {
    switch (result.outcome) {
    case ProbeResult::Outcome::Unit:
        return QStringLiteral("unit, version ") + QuotedText(result.version);
    case ProbeResult::Outcome::NoAnswer:
        return QStringLiteral("no answer");
    case ProbeResult::Outcome::NotProbed:
        return QStringLiteral("not probed: ") + result.reason;
    case ProbeResult::Outcome::Skipped:
        return QStringLiteral("skipped: ") + result.reason;
    case ProbeResult::Outcome::Pending:
        break;
    }
    return QStringLiteral("not probed: stopped");
}

// "/dev/ttyUSB0 (/dev/serial/by-id/usb-FTDI_..., COM2)": the path probed, its by-id name and the ports
// that use it.
QString TargetName(const ProbeTarget& target, const QMap<QString, QString>& ports, const QString& root) {
    QStringList notes;
    if (target.device && !target.device->byIdPath.isEmpty())
        notes << target.device->byIdPath;
    notes << portsUsing(root, ports, target.probed);
    return notes.isEmpty() ? target.probed
                           : QStringLiteral("%1 (%2)").arg(target.probed, notes.join(QStringLiteral(", ")));
}

} // namespace

int FindCommand(const QStringList& givenPaths, const QMap<QString, QString>& ports, const QString& deviceRoot,
                CliOutput& output) {
    QList<ProbeTarget> targets;
    if (givenPaths.isEmpty())
        targets = gatherProbeTargets(deviceRoot, ports);
    else
        for (const QString& path : givenPaths)
            targets.append({path, path, std::nullopt});
    if (targets.isEmpty())
        return output.fail(ExitNoAnswer, QStringLiteral("no serial device found, and no port names one"));
    QStringList paths;
    for (const ProbeTarget& target : targets)
        paths << target.probed;
    if (givenPaths.isEmpty())
        output.detail(QStringLiteral("probing %1").arg(paths.join(QStringLiteral(", "))));
    UnitProbe probe;
    probe.setDeviceRoot(deviceRoot);
    StopSignals signals;
    int signal = 0;
    QEventLoop loop;
    QObject::connect(&probe, &UnitProbe::finished, &loop, &QEventLoop::quit);
    QObject::connect(&signals, &StopSignals::received, &loop, [&](int signalNumber) {
        signal = signalNumber;
        probe.cancel();
        loop.quit();
    });
    probe.start(paths);
    if (probe.isRunning())
        loop.exec();
    int units = 0;
    for (qsizetype i = 0; i < probe.results().size(); ++i) {
        const ProbeResult& result = probe.results()[i];
        // Paths and reasons come from the file system and other programs' names: escaped as messages are.
        output.result() << EscapedControls(TargetName(targets[i], ports, deviceRoot)) << QStringLiteral(": ")
                        << EscapedControls(ResultText(result)) << u'\n';
        units += result.outcome == ProbeResult::Outcome::Unit;
    }
    if (signal != 0)
        return 128 + signal;
    if (units == 0)
        return output.fail(ExitNoAnswer, QStringLiteral("no unit answered"));
    return ExitDone;
}

} // namespace quellix
