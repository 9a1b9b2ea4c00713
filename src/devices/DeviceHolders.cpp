#include "DeviceHolders.h"

#include "DevicesLog.h"
#include "RootedPath.h"

#include <QFile>

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

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
    int ptyIndex = -1; // a pseudo-terminal's number N (/dev/pts/N)
};

// Unix98 pseudo-terminal slaves have the majors 136 to 143, 256 numbers each.
constexpr unsigned PtySlaveMajorFirst = 136;
constexpr unsigned PtySlaveMajorLast = 143;

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
        const unsigned major = ::major(st.st_rdev);
        if (major >= PtySlaveMajorFirst && major <= PtySlaveMajorLast)
            key.ptyIndex = static_cast<int>((major - PtySlaveMajorFirst) * 256 + ::minor(st.st_rdev));
    }
    return key;
}

// A descriptor of the pseudo-terminal's master: the kernel tells its number in the fdinfo.
bool IsPtyMaster(const DeviceKey& key, const QString& rootedFdLink, const QString& rootedFdInfo) {
    if (key.ptyIndex < 0 || !RawLinkTarget(rootedFdLink).endsWith(QStringLiteral("/ptmx")))
        return false;
    QFile info(rootedFdInfo);
    if (!info.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : info.readAll().split('\n'))
        if (line.startsWith("tty-index:"))
            return line.mid(10).trimmed().toInt() == key.ptyIndex;
    return false;
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

QList<DeviceHolder> FindLockHolders(const QString& path, const QString& rootPrefix) {
    QList<DeviceHolder> holders;
    struct stat st {};
    if (::stat(QFile::encodeName(Rooted(rootPrefix, path)).constData(), &st) != 0)
        return holders;
    QFile locks(Rooted(rootPrefix, QStringLiteral("/proc/locks")));
    if (!locks.open(QIODevice::ReadOnly))
        return holders;
    // "1: FLOCK  ADVISORY  WRITE 4242 00:1b:3 0 EOF": the file's device as hex major:minor, then its
    // inode; "1: -> FLOCK ..." is a process waiting for that lock.
    const QByteArray file = QByteArray::number(::major(st.st_dev), 16).rightJustified(2, '0') + ':' +
                            QByteArray::number(::minor(st.st_dev), 16).rightJustified(2, '0') + ':' +
                            QByteArray::number(static_cast<qulonglong>(st.st_ino));
    const QString proc = Rooted(rootPrefix, QStringLiteral("/proc"));
    for (const QByteArray& line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || fields[1] == "->" || fields[5] != file)
            continue;
        const qint64 pid = fields[4].toLongLong();
        if (pid <= 0 || std::any_of(holders.begin(), holders.end(),
                                    [pid](const DeviceHolder& h) { return h.pid == pid; }))
            continue;
        holders.append({pid, ReadAttribute(proc + "/" + QString::number(pid) + "/comm")});
    }
    return holders;
}

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
        bool holds = false;
        bool peer = false;
        for (const QString& fd : fds) {
            const QString link = fdDir + "/" + fd;
            if (Matches(key, link))
                holds = true;
            else if (IsPtyMaster(key, link, proc + "/" + pid + "/fdinfo/" + fd))
                peer = true;
        }
        if (holds && !peer)
            scan.holders.append({pid.toLongLong(), ReadAttribute(proc + "/" + pid + "/comm")});
    }
    std::sort(scan.holders.begin(), scan.holders.end(),
              [](const DeviceHolder& a, const DeviceHolder& b) { return a.pid < b.pid; });
    qCDebug(lcDevices) << "holders of" << path << ":" << scan.holders.size()
                       << (scan.incomplete ? "(incomplete)" : "");
    return scan;
}

} // namespace quellix
