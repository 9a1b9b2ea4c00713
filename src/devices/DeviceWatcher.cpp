#include "DeviceWatcher.h"

#include "DevicesLog.h"
#include "RootedPath.h"

namespace quellix {

namespace {

constexpr int kDefaultPollMs = 1000;
// A plug-in makes several entries within milliseconds (node, by-id and by-path links): one rescan
// after they have settled says it once.
constexpr int kCoalesceMs = 100;

const QString kSerialDir = QStringLiteral("/dev/serial");

} // namespace

DeviceWatcher::DeviceWatcher(const QString& rootPrefix, QObject* parent)
    : QObject(parent), root_(rootPrefix) {
    connect(&fsWatcher_, &QFileSystemWatcher::directoryChanged, this, &DeviceWatcher::ScheduleRescan);
    coalesceTimer_.setSingleShot(true);
    coalesceTimer_.setInterval(kCoalesceMs);
    connect(&coalesceTimer_, &QTimer::timeout, this, &DeviceWatcher::Rescan);
    connect(&pollTimer_, &QTimer::timeout, this, &DeviceWatcher::Rescan);
    snapshot_ = Snapshot();
    UpdateWatches();
    pollTimer_.start(kDefaultPollMs);
}

void DeviceWatcher::watchPath(const QString& path) {
    watched_.insert(path, Exists(path) ? PathState::Present : PathState::Absent);
    UpdateWatches();
}

void DeviceWatcher::unwatchPath(const QString& path) {
    watched_.remove(path);
}

QStringList DeviceWatcher::watchedPaths() const {
    QStringList paths = watched_.keys();
    paths.sort();
    return paths;
}

void DeviceWatcher::setPollInterval(int ms) {
    pollTimer_.start(ms);
}

void DeviceWatcher::setSettleDelay(int ms) {
    settleMs_ = ms;
}

void DeviceWatcher::ScheduleRescan() {
    coalesceTimer_.start();
}

void DeviceWatcher::Rescan() {
    const QStringList now = Snapshot();
    UpdateWatches();
    CheckWatchedPaths();
    if (now == snapshot_)
        return;
    snapshot_ = now;
    qCDebug(lcDevices) << "serial devices changed";
    Q_EMIT devicesChanged();
}

// Directories whose entries tell of devices; those missing now are added when they appear (/dev
// itself tells when /dev/serial appears).
void DeviceWatcher::UpdateWatches() {
    QStringList dirs{QStringLiteral("/dev"), kSerialDir, kSerialDir + "/by-id", kSerialDir + "/by-path",
                     TtyClassDir()};
    for (auto it = watched_.cbegin(); it != watched_.cend(); ++it)
        dirs << ParentDir(it.key());
    const QStringList current = fsWatcher_.directories();
    for (const QString& dir : dirs) {
        const QString rooted = Rooted(root_, dir);
        if (!current.contains(rooted) && !ResolveInRoot(root_, dir).isEmpty())
            fsWatcher_.addPath(rooted);
    }
}

void DeviceWatcher::CheckWatchedPaths() {
    // Signals go out after the loop: a receiver may watch or unwatch paths.
    QStringList vanished;
    for (auto it = watched_.begin(); it != watched_.end(); ++it) {
        const bool exists = Exists(it.key());
        if (exists && it.value() == PathState::Absent) {
            it.value() = PathState::Settling;
            const QString path = it.key();
            QTimer::singleShot(settleMs_, this, [this, path] { ConfirmAppeared(path); });
        } else if (!exists && it.value() != PathState::Absent) {
            if (it.value() == PathState::Present)
                vanished << it.key();
            it.value() = PathState::Absent;
        }
    }
    for (const QString& path : vanished)
        Q_EMIT pathVanished(path);
}

void DeviceWatcher::ConfirmAppeared(const QString& path) {
    const auto it = watched_.find(path);
    if (it == watched_.end() || it.value() != PathState::Settling)
        return;
    if (!Exists(path)) {
        it.value() = PathState::Absent;
        return;
    }
    it.value() = PathState::Present;
    qCDebug(lcDevices) << path << "appeared";
    Q_EMIT pathAppeared(path);
}

// The names under /sys/class/tty and everything under /dev/serial with where it leads: a re-plugged
// adapter may keep its by-id name but get another node.
QStringList DeviceWatcher::Snapshot() const {
    QStringList entries = DirectoryEntries(Rooted(root_, TtyClassDir()));
    for (const QString& sub : DirectoryEntries(Rooted(root_, kSerialDir))) {
        const QString dir = kSerialDir + "/" + sub;
        for (const QString& name : DirectoryEntries(Rooted(root_, dir)))
            entries << dir + "/" + name + " -> " + ResolveInRoot(root_, dir + "/" + name);
    }
    return entries;
}

bool DeviceWatcher::Exists(const QString& path) const {
    return !ResolveInRoot(root_, path).isEmpty();
}

} // namespace quellix
