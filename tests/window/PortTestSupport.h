// What the port tests of the window share: a fake machine tree handed to the window as its device root,
// and a window fixture that drives the Ports dialog. The line's far end is a TestPty.
#pragma once

#include "FakeTree.h"
#include "TestPty.h"
#include "WindowFixture.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace quellix {

class TPortsDialog;

// Generous: how long a test waits for what the window must do; the tests run beside other builds.
inline constexpr int PortWaitMs = 10000;

// A machine below a scratch root: two USB adapters with /dev/serial/by-id names, a built-in port and a
// placeholder port without a UART. Their /dev nodes are plain files until a test links one to a pty.
void BuildFakeMachine(const FakeTree& tree);
// The by-id names of the fake machine's two adapters, /dev/ttyUSB0 and /dev/ttyACM0.
inline const QString FakeFtdiById = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0";
inline const QString FakeArduinoById = "/dev/serial/by-id/usb-Arduino_Uno-if00";
// Adds a USB adapter with a by-id name, as plugging one in does.
void AddFakeUsbAdapter(const FakeTree& tree, const QString& usbName, const QString& tty,
                       const QByteArray& product, const QByteArray& serial);
// Points the device node at path (relative to the root) to a real device such as a pty slave.
void LinkNode(const FakeTree& tree, const QString& node, const QString& realPath);

// Ids of this process's threads now: the serial workers come and go with the port.
QStringList ThreadIds();

class PortWindowTest : public WindowTest {
protected:
    // Creates the window on the fake tree's root and shows it; start-up runs.
    TForm1& StartOnFakeRoot();
    // Triggers "Ports…" and, once the dialog is up, runs `drive`, which must close it.
    void RunPortsDialog(const std::function<void(TPortsDialog&)>& drive);
    QString PortStatus() const { return Text("PortStatus"); }
    // Whether the three buttons that send to the unit are enabled.
    bool ButtonsEnabled() const;
    // Waits until the status bar tells `text`; a failure names the status it stayed at.
    bool StatusBecomes(const QString& text);
    TComPort* Port() const { return form->findChild<TComPort*>("ComPort1"); }
    QString IniValue(const QString& section, const QString& key) const;

    FakeTree tree;
};

} // namespace quellix
