#include "SerialDevices.h"

#include "DevicesLog.h"
#include "RootedPath.h"
#include "TtyOpen.h"

#include <QFile>
#include <QHash>

#include <cerrno>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>

namespace quellix {

namespace {

const QString kDevicesDir = QStringLiteral("/sys/devices");
const QString kByIdDir = QStringLiteral("/dev/serial/by-id");
// The kernel's serial-core bus: its "port" and "ctrl" drivers stand between a tty and the driver of
// the hardware, which is the one worth naming.
const QString kSerialBaseBus = QStringLiteral("serial-base");

bool IsBelow(const QString& path, const QString& dir) {
    return path.startsWith(dir + "/");
}

QString DriverOf(const QString& root, const QString& deviceDir) {
    for (QString dir = deviceDir; IsBelow(dir, kDevicesDir); dir = ParentDir(dir)) {
        const QStringList parts = RawLinkTarget(Rooted(root, dir + "/driver")).split('/', Qt::SkipEmptyParts);
        if (parts.isEmpty())
            continue;
        const qsizetype n = parts.size();
        const bool serialBase =
            n >= 3 && parts[n - 2] == QLatin1String("drivers") && parts[n - 3] == kSerialBaseBus;
        if (!serialBase)
            return parts.last();
    }
    return {};
}

// USB facts live on the USB device, a few levels above the tty (the interface is in between).
void FillUsbFacts(const QString& root, const QString& deviceDir, SerialDeviceInfo& info) {
    for (QString dir = deviceDir; IsBelow(dir, kDevicesDir); dir = ParentDir(dir)) {
        const QString vendor = ReadAttribute(Rooted(root, dir + "/idVendor"));
        if (vendor.isEmpty())
            continue;
        info.vendorId = vendor;
        info.productId = ReadAttribute(Rooted(root, dir + "/idProduct"));
        info.manufacturer = ReadAttribute(Rooted(root, dir + "/manufacturer"));
        info.product = ReadAttribute(Rooted(root, dir + "/product"));
        info.serialNumber = ReadAttribute(Rooted(root, dir + "/serial"));
        return;
    }
}

QString Describe(const SerialDeviceInfo& info) {
    QStringList parts;
    if (!info.driver.isEmpty())
        parts << info.driver;
    if (!info.vendorId.isEmpty()) {
        QString usb = "USB " + info.vendorId + ":" + info.productId;
        const QString names = (info.manufacturer + " " + info.product).trimmed();
        if (!names.isEmpty())
            usb += " " + names;
        parts << usb;
    }
    if (!info.serialNumber.isEmpty())
        parts << "serial " + info.serialNumber;
    return parts.join(QStringLiteral(", "));
}

// The node name: DEVNAME from uevent, else the class name with sysfs's '!' standing for '/'.
QString NodeName(const QString& root, const QString& name) {
    const QStringList lines = ReadAttribute(Rooted(root, TtyClassDir() + "/" + name + "/uevent")).split('\n');
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("DEVNAME=")))
            return line.mid(8);
    }
    return QString(name).replace('!', '/');
}

// Resolved device path -> the first by-id name (alphabetically) that leads to it.
QHash<QString, QString> ByIdNames(const QString& root) {
    QHash<QString, QString> names;
    for (const QString& entry : DirectoryEntries(Rooted(root, kByIdDir))) {
        const QString link = kByIdDir + "/" + entry;
        const QString target = ResolveInRoot(root, link);
        if (!target.isEmpty() && !names.contains(target))
            names.insert(target, link);
    }
    return names;
}

// ttyS2 before ttyS10: the trailing number compares as a number.
bool NaturalLess(const QString& a, const QString& b) {
    auto split = [](const QString& s) {
        qsizetype i = s.size();
        while (i > 0 && s[i - 1].isDigit())
            --i;
        return std::pair{s.left(i), s.mid(i)};
    };
    const auto [stemA, numberA] = split(a);
    const auto [stemB, numberB] = split(b);
    if (stemA != stemB)
        return stemA < stemB;
    if (numberA.size() != numberB.size())
        return numberA.size() < numberB.size();
    return numberA < numberB;
}

bool ListOrder(const SerialDeviceInfo& a, const SerialDeviceInfo& b) {
    if (a.byIdPath.isEmpty() != b.byIdPath.isEmpty())
        return !a.byIdPath.isEmpty();
    if (a.byIdPath != b.byIdPath)
        return a.byIdPath < b.byIdPath;
    return NaturalLess(a.path, b.path);
}

// Unix98 pseudo-terminal slaves: majors 136 to 143. They have no sysfs entry.
constexpr unsigned kPtySlaveMajorFirst = 136;
constexpr unsigned kPtySlaveMajorLast = 143;

// Opening an arbitrary character device can have effects (a watchdog starts counting), so only ttys
// are opened. Without sysfs there is no telling, and the open with its isatty check decides.
bool MayBeTty(const QString& root, dev_t rdev) {
    const unsigned maj = major(rdev);
    if (maj >= kPtySlaveMajorFirst && maj <= kPtySlaveMajorLast)
        return true;
    const QString byNumber = QStringLiteral("/sys/dev/char");
    if (ResolveInRoot(root, byNumber).isEmpty())
        return true;
    const QString entry = byNumber + QStringLiteral("/%1:%2/subsystem").arg(maj).arg(minor(rdev));
    return ResolveInRoot(root, entry) == TtyClassDir();
}

DeviceStatus StatusOfOpenErrno(int err) {
    switch (err) {
    case EACCES:
    case EPERM:
        return DeviceStatus::NoPermission;
    case EBUSY:
        return DeviceStatus::InUse;
    case ENOENT:
    case ENOTDIR:
    case ENODEV:
    case ENXIO:
    case EIO: // an 8250 port without a UART answers EIO
        return DeviceStatus::Missing;
    default:
        return DeviceStatus::Unusable;
    }
}

} // namespace

QList<SerialDeviceInfo> ListSerialDevices(const QString& rootPrefix) {
    const QHash<QString, QString> byId = ByIdNames(rootPrefix);
    QList<SerialDeviceInfo> devices;
    for (const QString& name : DirectoryEntries(Rooted(rootPrefix, TtyClassDir()))) {
        const QString ttyDir = TtyClassDir() + "/" + name;
        const QString deviceDir = ResolveInRoot(rootPrefix, ttyDir + "/device");
        if (deviceDir.isEmpty())
            continue; // virtual consoles, ptmx and the like
        if (ReadAttribute(Rooted(rootPrefix, ttyDir + "/type")) == QLatin1String("0"))
            continue; // serial-core port with no UART detected
        SerialDeviceInfo info;
        info.path = "/dev/" + NodeName(rootPrefix, name);
        const QString resolved = ResolveInRoot(rootPrefix, info.path);
        info.byIdPath = byId.value(info.path, byId.value(resolved));
        info.driver = DriverOf(rootPrefix, deviceDir);
        FillUsbFacts(rootPrefix, deviceDir, info);
        info.description = Describe(info);
        devices.append(info);
    }
    std::sort(devices.begin(), devices.end(), ListOrder);
    qCDebug(lcDevices) << "found" << devices.size() << "serial devices";
    return devices;
}

DeviceStatus DeviceState(const QString& path, const QString& rootPrefix) {
    if (path.isEmpty())
        return DeviceStatus::Missing;
    const QByteArray name = QFile::encodeName(Rooted(rootPrefix, path));
    struct stat st {};
    if (::stat(name.constData(), &st) != 0)
        return StatusOfOpenErrno(errno);
    if (!S_ISCHR(st.st_mode) || !MayBeTty(rootPrefix, st.st_rdev))
        return DeviceStatus::NotSerial;
    // Opened as the serial component opens its port, and let go at once with the lock.
    const TtyOpen probe = OpenTtyExclusive(name.constData());
    switch (probe.failure) {
    case TtyOpenFailure::None:
        return DeviceStatus::Available;
    case TtyOpenFailure::CannotOpen:
        return StatusOfOpenErrno(probe.error);
    case TtyOpenFailure::NotATty:
        return DeviceStatus::NotSerial;
    case TtyOpenFailure::Locked:
        // Any other failure of the lock refuses the real open too.
        return probe.error == EWOULDBLOCK ? DeviceStatus::InUse : StatusOfOpenErrno(probe.error);
    }
    return DeviceStatus::Unusable;
}

QString DeviceStatusText(DeviceStatus status) {
    switch (status) {
    case DeviceStatus::Available:
        return QStringLiteral("available");
    case DeviceStatus::Missing:
        return QStringLiteral("missing");
    case DeviceStatus::NoPermission:
        return QStringLiteral("no permission");
    case DeviceStatus::InUse:
        return QStringLiteral("in use");
    case DeviceStatus::NotSerial:
        return QStringLiteral("not a serial device");
    case DeviceStatus::Unusable:
        return QStringLiteral("cannot be opened");
    }
    return {};
}

} // namespace quellix
