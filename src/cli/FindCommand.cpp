// find: every serial device, or the paths given, probed at once for the unit.
#include "PortCommands.h"

#include "SerialDevices.h"
#include "StopSignals.h"
#include "UnitProbe.h"

#include <QEventLoop>
#include <QMap>

namespace quellix {

namespace {

QString ResultText(const ProbeResult& result) {
    switch (result.outcome) {
    case ProbeResult::Outcome::Unit:
        return QStringLiteral("unit, version \"%1\"").arg(result.version);
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

} // namespace

int FindCommand(const QStringList& givenPaths, CliOutput& output) {
    QStringList paths = givenPaths;
    QMap<QString, QString> byId; // node -> its by-id name, shown beside it
    if (paths.isEmpty()) {
        for (const SerialDeviceInfo& device : ListSerialDevices()) {
            paths.append(device.path);
            if (!device.byIdPath.isEmpty())
                byId.insert(device.path, device.byIdPath);
        }
        if (paths.isEmpty())
            return output.fail(ExitNoAnswer, QStringLiteral("no serial device found"));
        output.detail(QStringLiteral("probing %1").arg(paths.join(QStringLiteral(", "))));
    }
    UnitProbe probe;
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
    for (const ProbeResult& result : probe.results()) {
        const QString name = byId.contains(result.path)
                                 ? QStringLiteral("%1 (%2)").arg(result.path, byId.value(result.path))
                                 : result.path;
        output.result() << name << QStringLiteral(": ") << ResultText(result) << u'\n';
        units += result.outcome == ProbeResult::Outcome::Unit;
    }
    if (signal != 0)
        return 128 + signal;
    if (units == 0)
        return output.fail(ExitNoAnswer, QStringLiteral("no unit answered"));
    return ExitDone;
}

} // namespace quellix
