// Notices serial devices coming and going (/dev/serial and /sys/class/tty), and chosen device paths
// appearing again, e.g. to reopen a port when its unplugged adapter returns.
#pragma once
#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace quellix {

class DeviceWatcher : public QObject {
    Q_OBJECT
public:
    // Watches below rootPrefix (empty: the real root). File-system notifications are taken where the
    // kernel gives them; a poll every second covers the rest (sysfs gives none).
    explicit DeviceWatcher(const QString& rootPrefix = {}, QObject* parent = nullptr);

    // Reports pathAppeared/pathVanished for an unrooted device path (a by-id link counts as present when
    // it leads somewhere). Its present state at this call is taken as known, without a signal.
    void watchPath(const QString& path);
    void unwatchPath(const QString& path);
    QStringList watchedPaths() const;

    void setPollInterval(int ms);
    // How long a path must stay present before pathAppeared: udev sets a new node's group and mode just
    // after the kernel creates it, and an open before that fails for want of permission.
    void setSettleDelay(int ms);

Q_SIGNALS:
    // The set of serial devices or their /dev/serial names changed.
    void devicesChanged();
    void pathAppeared(const QString& path);
    void pathVanished(const QString& path);

private:
    enum class PathState { Absent, Settling, Present };

    void Rescan();
    void ScheduleRescan();
    void UpdateWatches();
    void CheckWatchedPaths();
    void ConfirmAppeared(const QString& path);
    QStringList Snapshot() const;
    bool Exists(const QString& path) const;

    QString root_;
    QFileSystemWatcher fsWatcher_;
    QTimer pollTimer_;
    QTimer coalesceTimer_;
    QStringList snapshot_;
    QHash<QString, PathState> watched_;
    int settleMs_ = 500;
};

} // namespace quellix
