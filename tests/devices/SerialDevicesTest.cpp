#include "SerialDevices.h"
#include "DeviceLocks.h"
#include "FakeTree.h"
#include "TestPty.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

namespace quellix {

namespace {

// "../../.." leading from dir up to the root, so links stay inside the fake tree.
QString UpToRoot(const QString& dir) {
    return QString("../").repeated(dir.count('/')).chopped(1);
}

void SetDriver(const FakeTree& tree, const QString& dir, const QString& bus, const QString& driver) {
    tree.makeLink(dir + "/driver", UpToRoot(dir) + "/sys/bus/" + bus + "/drivers/" + driver);
}

void SetAttributes(const FakeTree& tree, const QString& dir,
                   const QList<std::pair<QString, QByteArray>>& attrs) {
    for (const auto& [name, value] : attrs)
        tree.writeFile(dir + "/" + name, value + "\n");
}

// A tty class device below deviceDir, as the kernel lays it out, with its /sys/class/tty link.
void AddTty(const FakeTree& tree, const QString& name, const QString& deviceDir,
            const QByteArray& type = {}) {
    const QString ttyDir = deviceDir + "/tty/" + name;
    tree.writeFile(ttyDir + "/uevent", "MAJOR=188\nMINOR=0\nDEVNAME=" + name.toUtf8() + "\n");
    if (!type.isEmpty())
        tree.writeFile(ttyDir + "/type", type + "\n");
    tree.makeLink(ttyDir + "/device", "../..");
    tree.makeLink("/sys/class/tty/" + name, "../.." + ttyDir.mid(4));
    tree.writeFile("/dev/" + name);
}

// An adapter: USB device, its interface and, for usb-serial drivers, the port device holding the tty.
void AddUsbAdapter(const FakeTree& tree, const QString& usbName,
                   const QList<std::pair<QString, QByteArray>>& attrs, const QString& tty,
                   const QString& driver, bool usbSerial) {
    const QString usb = "/sys/devices/pci0000:00/0000:00:14.0/usb1/" + usbName;
    SetAttributes(tree, usb, attrs);
    const QString iface = usb + "/" + usbName + ":1.0";
    SetDriver(tree, iface, "usb", driver);
    if (!usbSerial) {
        AddTty(tree, tty, iface);
        return;
    }
    const QString port = iface + "/" + tty;
    SetDriver(tree, port, "usb-serial", driver);
    AddTty(tree, tty, port);
}

void BuildMachine(const FakeTree& tree) {
    AddUsbAdapter(tree, "1-2",
                  {{"idVendor", "0403"},
                   {"idProduct", "6001"},
                   {"manufacturer", "FTDI"},
                   {"product", "FT232R USB UART"},
                   {"serial", "A10K3XYZ"}},
                  "ttyUSB0", "ftdi_sio", true);
    AddUsbAdapter(tree, "1-3", {{"idVendor", "1a86"}, {"idProduct", "7523"}, {"product", "USB Serial"}},
                  "ttyUSB1", "ch341-uart", true);
    AddUsbAdapter(tree, "1-4",
                  {{"idVendor", "2341"},
                   {"idProduct", "0043"},
                   {"manufacturer", "Arduino (www.arduino.cc)"},
                   {"product", "Arduino Uno"},
                   {"serial", "95735353"}},
                  "ttyACM0", "cdc_acm", false);

    // A built-in port as newer kernels show it: serial-core's port and controller devices stand
    // between the tty and the driver of the hardware.
    const QString pnp = "/sys/devices/pnp0/00:00";
    SetDriver(tree, pnp, "pnp", "serial");
    SetDriver(tree, pnp + "/00:00:0", "serial-base", "ctrl");
    SetDriver(tree, pnp + "/00:00:0/00:00:0.0", "serial-base", "port");
    AddTty(tree, "ttyS0", pnp + "/00:00:0/00:00:0.0", "4");
    // Older layout, and a placeholder port with no UART (type 0).
    const QString platform = "/sys/devices/platform/serial8250";
    SetDriver(tree, platform, "platform", "serial8250");
    AddTty(tree, "ttyS1", platform, "0");
    AddTty(tree, "ttyS2", platform, "4");
    AddTty(tree, "ttyS10", platform, "4");
    // A virtual console: a tty without a device.
    tree.writeFile("/sys/devices/virtual/tty/tty0/uevent", "DEVNAME=tty0\n");
    tree.makeLink("/sys/class/tty/tty0", "../../devices/virtual/tty/tty0");

    tree.makeLink("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0", "../../ttyUSB0");
    tree.makeLink("/dev/serial/by-id/usb-Arduino__www.arduino.cc__Arduino_Uno_95735353-if00",
                  "../../ttyACM0");
    // Absolute targets are taken inside the root as well.
    tree.makeLink("/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0", "/dev/ttyUSB1");
    tree.makeLink("/dev/serial/by-id/usb-Gone_Adapter-if00-port0", "../../ttyUSB9");
}

struct ExpectedDevice {
    QString path;
    QString byId;
    QString driver;
    QString description;
};

TEST(ListSerialDevices, ListsDevicesWithByIdNamesFirstAndDescriptions) {
    FakeTree tree;
    BuildMachine(tree);
    const QString byId = "/dev/serial/by-id/";
    const QList<ExpectedDevice> expected{
        {"/dev/ttyUSB1", byId + "usb-1a86_USB_Serial-if00-port0", "ch341-uart",
         "ch341-uart, USB 1a86:7523 USB Serial"},
        {"/dev/ttyACM0", byId + "usb-Arduino__www.arduino.cc__Arduino_Uno_95735353-if00", "cdc_acm",
         "cdc_acm, USB 2341:0043 Arduino (www.arduino.cc) Arduino Uno, serial 95735353"},
        {"/dev/ttyUSB0", byId + "usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0", "ftdi_sio",
         "ftdi_sio, USB 0403:6001 FTDI FT232R USB UART, serial A10K3XYZ"},
        {"/dev/ttyS0", "", "serial", "serial"},
        {"/dev/ttyS2", "", "serial8250", "serial8250"},
        {"/dev/ttyS10", "", "serial8250", "serial8250"},
    };

    const QList<SerialDeviceInfo> devices = ListSerialDevices(tree.root());

    ASSERT_EQ(devices.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].path.toStdString());
        EXPECT_EQ(devices[i].path, expected[i].path);
        EXPECT_EQ(devices[i].byIdPath, expected[i].byId);
        EXPECT_EQ(devices[i].driver, expected[i].driver);
        EXPECT_EQ(devices[i].description, expected[i].description);
        EXPECT_EQ(devices[i].preferredPath(),
                  expected[i].byId.isEmpty() ? expected[i].path : expected[i].byId);
    }
}

TEST(ListSerialDevices, KeepsUsbFactsApart) {
    FakeTree tree;
    BuildMachine(tree);
    const QList<SerialDeviceInfo> devices = ListSerialDevices(tree.root());
    const auto ftdi = std::find_if(devices.begin(), devices.end(),
                                   [](const SerialDeviceInfo& d) { return d.path == "/dev/ttyUSB0"; });
    ASSERT_NE(ftdi, devices.end());
    EXPECT_EQ(ftdi->vendorId, "0403");
    EXPECT_EQ(ftdi->productId, "6001");
    EXPECT_EQ(ftdi->manufacturer, "FTDI");
    EXPECT_EQ(ftdi->product, "FT232R USB UART");
    EXPECT_EQ(ftdi->serialNumber, "A10K3XYZ");
}

TEST(ListSerialDevices, EmptyWithoutSysfs) {
    FakeTree tree;
    EXPECT_TRUE(ListSerialDevices(tree.root()).isEmpty());
}

int OpenDescriptorCount() {
    return static_cast<int>(
        QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size());
}

TEST(DeviceState, TellsWhatOpeningWouldMeet) {
    TestPty freePty;
    TestPty heldPty;
    const int holder = ::open(QFile::encodeName(heldPty.path()).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    TempDir scratch;
    const QString regular = scratch.write("plain.txt", "not a port");
    const QString linkToPty = scratch.file("port-link");
    ASSERT_EQ(
        ::symlink(QFile::encodeName(freePty.path()).constData(), QFile::encodeName(linkToPty).constData()),
        0);

    const struct {
        const char* what;
        QString path;
        DeviceStatus expected;
    } cases[] = {
        {"missing path", scratch.file("ttyUSB7"), DeviceStatus::Missing},
        {"empty path", "", DeviceStatus::Missing},
        {"free pseudo-terminal", freePty.path(), DeviceStatus::Available},
        {"link to a free pseudo-terminal", linkToPty, DeviceStatus::Available},
        {"pseudo-terminal locked by another descriptor", heldPty.path(), DeviceStatus::InUse},
        {"regular file", regular, DeviceStatus::NotSerial},
        {"directory", scratch.path(), DeviceStatus::NotSerial},
        {"character device that is no tty", "/dev/null", DeviceStatus::NotSerial},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int before = OpenDescriptorCount();
        EXPECT_EQ(DeviceState(c.path), c.expected);
        EXPECT_EQ(OpenDescriptorCount(), before) << "a descriptor was left open";
    }
    EXPECT_TRUE(CanLock(freePty.path())) << "the probe left a lock behind";
    EXPECT_FALSE(CanLock(heldPty.path())) << "the holder lost its lock";
    ::close(holder);
}

} // namespace

} // namespace quellix
