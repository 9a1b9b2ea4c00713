// Which processes hold a device open, found through /proc/<pid>/fd, to name the program that keeps a
// port busy.
#pragma once
#include <QList>
#include <QString>

namespace quellix {

struct DeviceHolder {
    qint64 pid = 0;
    QString name; // from /proc/<pid>/comm
};

struct HolderScan {
    QList<DeviceHolder> holders; // by pid
    // Some processes' descriptors could not be read (other users' processes, for a normal user), so a
    // holder may be missing from the list.
    bool incomplete = false;
};

// Scans rootPrefix/proc for descriptors leading to the device at path (an unrooted path; links such
// as /dev/serial/by-id/... are resolved first).
HolderScan FindDeviceHolders(const QString& path, const QString& rootPrefix = {});

} // namespace quellix
