#include "DeviceHolders.h"

#include "DevicesLog.h"
#include "RootedPath.h"

#include <QFile>

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

namespace quellix {

namespace {

bool IsPid(const QString& name) {
    bool ok = false;
    return name.toLongLong(&ok) > 0 && ok;
}

// What a descriptor must match: the device's names, and its device number where it is a real device,
// which also matches descriptors of processes in other mount namespaces.
struct DeviceKey {
    QStringList names;
    dev_t rdev = 0;
    bool hasRdev = false;
};

DeviceKey KeyOf(const QString& path, const QString& root) {
    DeviceKey key;
    key.names << path;
    const QString resolved = ResolveInRoot(root, path);
    if (!resolved.isEmpty() && resolved != path)
        key.names << resolved;
    struct stat st {};
    if (::stat(QFile::encodeName(Rooted(root, path)).constData(), &st) == 0 && S_ISCHR(st.st_mode)) {
        key.rdev = st.st_rdev;
        key.hasRdev = true;
    }
    return key;
}

bool Matches(const DeviceKey& key, const QString& rootedFdLink) {
    if (key.names.contains(RawLinkTarget(rootedFdLink)))
        return true;
    struct stat st {};
    return key.hasRdev && ::stat(QFile::encodeName(rootedFdLink).constData(), &st) == 0 &&
           S_ISCHR(st.st_mode) && st.st_rdev == key.rdev;
}

// Lists a process's descriptors; false when they cannot be read (the process may also have ended).
bool FdEntries(const QString& rootedFdDir, QStringList& names) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(QFile::encodeName(rootedFdDir).constData()),
                                            &::closedir);
    if (!dir)
        return errno == ENOENT;
    names = DirectoryEntries(rootedFdDir);
    return true;
}

} // namespace

HolderScan FindDeviceHolders(const QString& path, const QString& rootPrefix) {
    HolderScan scan;
    const DeviceKey key = KeyOf(path, rootPrefix);
    const QString proc = Rooted(rootPrefix, QStringLiteral("/proc"));
    for (const QString& pid : DirectoryEntries(proc)) {
        if (!IsPid(pid))
            continue;
        const QString fdDir = proc + "/" + pid + "/fd";
        QStringList fds;
        if (!FdEntries(fdDir, fds)) {
            scan.incomplete = true;
            continue;
        }
        for (const QString& fd : fds) {
            if (!Matches(key, fdDir + "/" + fd))
                continue;
            scan.holders.append({pid.toLongLong(), ReadAttribute(proc + "/" + pid + "/comm")});
            break;
        }
    }
    std::sort(scan.holders.begin(), scan.holders.end(),
              [](const DeviceHolder& a, const DeviceHolder& b) { return a.pid < b.pid; });
    qCDebug(lcDevices) << "holders of" << path << ":" << scan.holders.size()
                       << (scan.incomplete ? "(incomplete)" : "");
    return scan;
}

} // namespace quellix
