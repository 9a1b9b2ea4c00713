// Which processes keep a device busy, to name the program to close: the one holding its lock (from
// /proc/locks), or else those holding it open (through /proc/<pid>/fd).
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
// as /dev/serial/by-id/... are resolved first). For a pseudo-terminal, the process on its other side
// (holding its master, such as a simulated unit) is its peer, not a program to close, and is left out.
HolderScan FindDeviceHolders(const QString& path, const QString& rootPrefix = {});

// The processes rootPrefix/proc/locks says hold a lock (flock or POSIX) on the device at path; those
// waiting for one are left out. Empty when none holds one or the list cannot be read.
QList<DeviceHolder> FindLockHolders(const QString& path, const QString& rootPrefix = {});

} // namespace quellix
