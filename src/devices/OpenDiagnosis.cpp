#include "OpenDiagnosis.h"

#include "DeviceHolders.h"
#include "RootedPath.h"

#include <QFile>
#include <QStringList>

#include <cerrno>
#include <sys/stat.h>

namespace quellix {

namespace {

// The group most distributions give serial devices, named when the real one cannot be looked up.
const QString kUsualSerialGroup = QStringLiteral("dialout");

// The path as tried, and the device it leads to when it is a link (a by-id name).
QString DeviceLabel(const QString& path, const QString& root) {
    const QString resolved = ResolveInRoot(root, path);
    return resolved.isEmpty() || resolved == path ? path : path + " (" + resolved + ")";
}

// "crw-rw----", as ls shows it.
QString ModeText(mode_t mode) {
    QString text = S_ISCHR(mode)   ? QStringLiteral("c")
                   : S_ISREG(mode) ? QStringLiteral("-")
                                   : QStringLiteral("?");
    const char letters[] = "rwx";
    for (int bit = 8; bit >= 0; --bit)
        text += (mode & (1u << bit)) ? QChar(letters[(8 - bit) % 3]) : QChar('-');
    return text;
}

QString GroupName(gid_t gid, const QString& root) {
    const GroupEntry group = LookupGroup(gid, root);
    return group.found ? group.name : QString::number(gid);
}

QString OwnerText(const struct stat& st, const QString& root) {
    return QStringLiteral("owner %1, group %2, %3")
        .arg(UserNameOf(st.st_uid), GroupName(st.st_gid, root), ModeText(st.st_mode));
}

bool RightsAllow(const struct stat& st, const UserIdentity& user) {
    constexpr mode_t kOwnerRw = S_IRUSR | S_IWUSR;
    constexpr mode_t kGroupRw = S_IRGRP | S_IWGRP;
    constexpr mode_t kOtherRw = S_IROTH | S_IWOTH;
    if (st.st_uid == user.uid)
        return (st.st_mode & kOwnerRw) == kOwnerRw;
    if (user.inGroup(st.st_gid))
        return (st.st_mode & kGroupRw) == kGroupRw;
    return (st.st_mode & kOtherRw) == kOtherRw;
}

OpenDiagnosis PermissionDiagnosis(const QString& label, const QString& path, const QString& root,
                                  const UserIdentity& user) {
    struct stat st {};
    if (::stat(QFile::encodeName(Rooted(root, path)).constData(), &st) != 0)
        return {OpenFailureKind::NoPermission,
                label +
                    ": no permission to open the device. Ask the administrator of this computer for access."};
    const bool groupWouldGrant = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    if (st.st_uid != user.uid && !user.inGroup(st.st_gid) && groupWouldGrant) {
        const GroupEntry group = LookupGroup(st.st_gid, root);
        if (!group.found)
            return {OpenFailureKind::GroupPermission,
                    label + QStringLiteral(
                                ": no permission — add your user to the group %1 (or the group that owns "
                                "the device, number %2) and log in again.")
                                .arg(kUsualSerialGroup)
                                .arg(st.st_gid)};
        if (group.members.contains(user.name))
            return {OpenFailureKind::NewLoginNeeded,
                    label + QStringLiteral(
                                ": no permission — your user is already in the group %1, which owns the "
                                "device, but this session started before that: log out and log in again.")
                                .arg(group.name)};
        return {OpenFailureKind::GroupPermission,
                label +
                    QStringLiteral(": no permission — add your user to the group %1, which owns the device, "
                                   "and log in again (for example: sudo usermod -aG %1 %2).")
                        .arg(group.name, user.name)};
    }
    if (RightsAllow(st, user))
        return {OpenFailureKind::NoPermission,
                label + QStringLiteral(
                            ": no permission, although the device's access rights (%1) allow your user; "
                            "a security policy or a sandbox may keep this program from serial devices.")
                            .arg(OwnerText(st, root))};
    return {OpenFailureKind::NoPermission,
            label +
                QStringLiteral(": no permission — the device (%1) does not let your user read and write it. "
                               "Ask the administrator of this computer for access.")
                    .arg(OwnerText(st, root))};
}

// The program holding the device's lock is the one to close; without a lock (a program that only set the
// tty's exclusive mark), those that have it open.
OpenDiagnosis BusyDiagnosis(const QString& label, const QString& path, const QString& root) {
    HolderScan scan;
    scan.holders = FindLockHolders(path, root);
    if (scan.holders.isEmpty())
        scan = FindDeviceHolders(path, root);
    if (scan.holders.isEmpty()) {
        const QString unnamed = scan.incomplete
                                    ? QStringLiteral(", which could not be named (it may run as another "
                                                     "user or as a system service such as ModemManager)")
                                    : QString();
        return {OpenFailureKind::InUse,
                label + ": in use by another program" + unnamed + ". Close it and try again."};
    }
    QStringList names;
    for (const DeviceHolder& holder : scan.holders)
        names << QStringLiteral("%1 (process %2)")
                     .arg(holder.name.isEmpty() ? QStringLiteral("?") : holder.name)
                     .arg(holder.pid);
    const QString closeIt =
        scan.holders.size() == 1 ? QStringLiteral("Close it") : QStringLiteral("Close them");
    return {OpenFailureKind::InUseBy, label +
                                          ": in use by another program: " + names.join(QStringLiteral(", ")) +
                                          ". " + closeIt + " and try again."};
}

} // namespace

OpenDiagnosis AnalyseOpenFailure(int err, const QString& path, const QString& rootPrefix,
                                 const UserIdentity& user) {
    const QString label = DeviceLabel(path, rootPrefix);
    switch (err) {
    case EACCES:
    case EPERM:
        return PermissionDiagnosis(label, path, rootPrefix, user);
    case EBUSY:
    case EWOULDBLOCK:
        return BusyDiagnosis(label, path, rootPrefix);
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return {OpenFailureKind::NotFound,
                label +
                    ": device not found. Check that the adapter is plugged in and that the name is right."};
    case ENOTTY:
        return {OpenFailureKind::NotSerial,
                label + ": not a serial device. Choose a serial port (a tty such as /dev/ttyUSB0) instead."};
    case EIO:
        return {OpenFailureKind::IoError,
                label + ": the device reported an input/output error; there may be no serial hardware behind "
                        "this port, or the adapter was just unplugged."};
    case 0:
        return {OpenFailureKind::Other, label + ": the device could not be opened."};
    default:
        return {OpenFailureKind::Other,
                label + ": the device could not be opened (" + qt_error_string(err) + ")."};
    }
}

QString DiagnoseOpenFailure(int err, const QString& path, const QString& rootPrefix) {
    return AnalyseOpenFailure(err, path, rootPrefix, UserIdentity::Current()).text;
}

} // namespace quellix
