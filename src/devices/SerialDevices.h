// The serial devices of the machine as a user would choose among them, and whether one can be opened
// now. Every absolute path is read below rootPrefix, so tests can hand in a fake /sys and /dev tree.
#pragma once
#include <QList>
#include <QString>

namespace quellix {

// One serial device found in /sys/class/tty. Fields sysfs does not have stay empty.
struct SerialDeviceInfo {
    QString path;     // device node, e.g. /dev/ttyUSB0
    QString byIdPath; // a /dev/serial/by-id/ link to it, stable across re-plugging
    QString driver;   // e.g. ftdi_sio, cdc_acm, serial
    QString vendorId; // USB IDs as four hex digits
    QString productId;
    QString manufacturer;
    QString product;
    QString serialNumber;
    // "ftdi_sio, USB 0403:6001 FTDI FT232R USB UART, serial A1234": what the list shows beside the name.
    QString description;

    // The name to offer and store: the by-id link where there is one, it survives re-plugging.
    QString preferredPath() const { return byIdPath.isEmpty() ? path : byIdPath; }
};

// Devices with a by-id name first (by that name), then the rest by device name, numbers in numeric
// order. Only ttys backed by a device count; serial-core ports whose UART type is unknown (the
// placeholder /dev/ttyS* ports of the 8250 driver with no hardware behind them) are left out.
QList<SerialDeviceInfo> ListSerialDevices(const QString& rootPrefix = {});

enum class DeviceStatus {
    Available,    // opens now
    Missing,      // no such device, or no hardware behind it
    NoPermission, // this user may not open it
    InUse,        // another program holds it
    NotSerial,    // exists but is not a tty
    Unusable,     // cannot be opened for another reason
};

// Tries the device the way the serial component opens it (non-blocking, no controlling tty, an
// exclusive flock) and releases it at once; nothing is left open or locked. Note that opening a real
// port raises its DTR and RTS lines briefly, so call this when the user looks, not on a timer.
DeviceStatus DeviceState(const QString& path, const QString& rootPrefix = {});

// "available", "missing", "no permission", "in use", "not a serial device", "cannot be opened".
QString DeviceStatusText(DeviceStatus status);

} // namespace quellix
