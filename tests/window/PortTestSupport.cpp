#include "PortTestSupport.h"

#include "MemIniFile.h"
#include "PortsDialog.h"

#include <QDir>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace quellix {

namespace {

// "../../.." leading from dir up to the root, so links stay inside the fake tree.
QString UpToRoot(const QString& dir) {
    return QString("../").repeated(dir.count('/')).chopped(1);
}

void SetDriver(const FakeTree& tree, const QString& dir, const QString& bus, const QString& driver) {
    tree.makeLink(dir + "/driver", UpToRoot(dir) + "/sys/bus/" + bus + "/drivers/" + driver);
}

// A tty class device below deviceDir, as the kernel lays it out, with its /sys/class/tty link and a
// plain file as its node.
void AddTty(const FakeTree& tree, const QString& name, const QString& deviceDir,
            const QByteArray& type = {}) {
    const QString ttyDir = deviceDir + "/tty/" + name;
    tree.writeFile(ttyDir + "/uevent", "DEVNAME=" + name.toUtf8() + "\n");
    if (!type.isEmpty())
        tree.writeFile(ttyDir + "/type", type + "\n");
    tree.makeLink(ttyDir + "/device", "../..");
    tree.makeLink("/sys/class/tty/" + name, "../.." + ttyDir.mid(4));
    tree.writeFile("/dev/" + name);
}

} // namespace

void AddFakeUsbAdapter(const FakeTree& tree, const QString& usbName, const QString& tty,
                       const QByteArray& product, const QByteArray& serial) {
    const QString usb = "/sys/devices/pci0000:00/0000:00:14.0/usb1/" + usbName;
    tree.writeFile(usb + "/idVendor", "0403\n");
    tree.writeFile(usb + "/idProduct", "6001\n");
    tree.writeFile(usb + "/manufacturer", "FTDI\n");
    tree.writeFile(usb + "/product", product + "\n");
    tree.writeFile(usb + "/serial", serial + "\n");
    const QString port = usb + "/" + usbName + ":1.0/" + tty;
    SetDriver(tree, port, "usb-serial", "ftdi_sio");
    AddTty(tree, tty, port);
    tree.makeLink("/dev/serial/by-id/usb-FTDI_" + QString(product).replace(' ', '_') + "_" + serial +
                      "-if00-port0",
                  "../../" + tty);
}

void BuildFakeMachine(const FakeTree& tree) {
    AddFakeUsbAdapter(tree, "1-2", "ttyUSB0", "FT232R USB UART", "A10K3XYZ");
    const QString acm = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-4";
    tree.writeFile(acm + "/idVendor", "2341\n");
    tree.writeFile(acm + "/idProduct", "0043\n");
    tree.writeFile(acm + "/product", "Arduino Uno\n");
    SetDriver(tree, acm + "/1-4:1.0", "usb", "cdc_acm");
    AddTty(tree, "ttyACM0", acm + "/1-4:1.0");
    tree.makeLink(FakeArduinoById, "../../ttyACM0");

    const QString platform = "/sys/devices/platform/serial8250";
    SetDriver(tree, platform, "platform", "serial8250");
    AddTty(tree, "ttyS0", platform, "4");
    AddTty(tree, "ttyS1", platform, "0");
}

void LinkNode(const FakeTree& tree, const QString& node, const QString& realPath) {
    tree.remove(node);
    tree.makeLink(node, realPath);
}

QStringList ThreadIds() {
    return QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

TForm1& PortWindowTest::StartOnFakeRoot() {
    Create();
    form->setDeviceRoot(tree.root());
    form->show();
    return *form;
}

void PortWindowTest::RunPortsDialog(const std::function<void(TPortsDialog&)>& drive) {
    bool driven = false;
    QTimer::singleShot(0, form.get(), [this, drive, &driven] {
        auto* dialog = form->findChild<TPortsDialog*>("PortsDialog");
        driven = true;
        if (!dialog || !dialog->isVisible()) {
            ADD_FAILURE() << "the Ports dialog is not shown";
            return;
        }
        drive(*dialog);
    });
    // A drive that forgets to close the dialog fails instead of hanging.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, form.get(), [this] {
        if (auto* dialog = form->findChild<TPortsDialog*>("PortsDialog"); dialog && dialog->isVisible()) {
            ADD_FAILURE() << "the Ports dialog was left open";
            dialog->reject();
        }
    });
    watchdog.start(30000);
    Trigger("Ports1");
    EXPECT_TRUE(driven) << "no Ports dialog";
}

QString PortWindowTest::IniValue(const QString& section, const QString& key) const {
    return TMemIniFile(FormStatePath()).ReadString(section, key).value_or(QString());
}

bool PortWindowTest::ButtonsEnabled() const {
    return Find<QPushButton>("Button12")->isEnabled() && Find<QPushButton>("Button13")->isEnabled() &&
           Find<QPushButton>("Button14")->isEnabled();
}

bool PortWindowTest::StatusBecomes(const QString& text) {
    const bool reached = QTest::qWaitFor([&] { return PortStatus() == text; }, PortWaitMs);
    EXPECT_TRUE(reached) << "status stays " << PortStatus().toStdString();
    return reached;
}

} // namespace quellix
