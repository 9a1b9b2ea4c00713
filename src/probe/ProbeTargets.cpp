#include "ProbeTargets.h"

#include "PortSession.h"
#include "RootedPath.h"

#include <QFileInfo>
#include <QSet>

namespace quellix {

QString deviceKey(const QString& rootPrefix, const QString& path) {
    const QString canonical = QFileInfo(Rooted(rootPrefix, path)).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

bool sameDevice(const QString& rootPrefix, const QString& a, const QString& b) {
    return !a.isEmpty() && !b.isEmpty() && deviceKey(rootPrefix, a) == deviceKey(rootPrefix, b);
}

QList<ProbeTarget> gatherProbeTargets(const QString& rootPrefix, const QMap<QString, QString>& ports,
                                      const QStringList& extra) {
    QList<ProbeTarget> targets;
    QSet<QString> seen;
    const auto add = [&](ProbeTarget target) {
        const QString key = deviceKey(rootPrefix, target.probed);
        if (seen.contains(key))
            return;
        seen.insert(key);
        targets.append(std::move(target));
    };
    for (const SerialDeviceInfo& device : ListSerialDevices(rootPrefix))
        add({device.preferredPath(), device.path, device});
    for (int n = 1; n <= PortCount; ++n) {
        const QString path = ports.value(QStringLiteral("COM%1").arg(n));
        if (!path.isEmpty())
            add({path, path, std::nullopt});
    }
    for (const QString& path : extra)
        if (!path.isEmpty())
            add({path, path, std::nullopt});
    return targets;
}

QStringList portsUsing(const QString& rootPrefix, const QMap<QString, QString>& ports, const QString& path) {
    const QString key = deviceKey(rootPrefix, path);
    QStringList names;
    for (int n = 1; n <= PortCount; ++n)
        if (deviceKey(rootPrefix, PortSession::comDevicePath(ports, n)) == key)
            names << QStringLiteral("COM%1").arg(n);
    return names;
}

} // namespace quellix
