// What a search for the unit asks, for the window's Find Unit and `quellix-cli find` alike: every serial
// device found, then each device the "Ports" section names that is not among them (a pseudo-terminal,
// an adapter not plugged in), then any further path, each device once.
#pragma once

#include "SerialDevices.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace quellix {

struct ProbeTarget {
    QString shown;                          // the name to offer: the by-id name where there is one
    QString probed;                         // the path the probe opens: the node of a by-id name
    std::optional<SerialDeviceInfo> device; // what was found of it, for a device found
};

// The device a path leads to below rootPrefix, so that a by-id name, its node and a link to either
// count as one device: the canonical path where something is there, else the path as given.
QString deviceKey(const QString& rootPrefix, const QString& path);
// Whether two paths lead to one device; never for an empty path.
bool sameDevice(const QString& rootPrefix, const QString& a, const QString& b);

// `ports`: COM1..COM4 to their device paths as the "Ports" section maps them; `extra` are probed last.
QList<ProbeTarget> gatherProbeTargets(const QString& rootPrefix, const QMap<QString, QString>& ports,
                                      const QStringList& extra = {});

// The port names among COM1..COM4 whose device, with the defaults of ports without an entry, is the
// one `path` leads to.
QStringList portsUsing(const QString& rootPrefix, const QMap<QString, QString>& ports, const QString& path);

} // namespace quellix
