// What the port tests of the window share: a pseudo-terminal peer, a fake machine tree handed to the
// window as its device root, and a window fixture that drives the Ports dialog.
#pragma once

#include "FakeTree.h"
#include "WindowFixture.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace quellix {

class TPortsDialog;

// A pseudo-terminal: the slave is the device the window opens by its path, the master is the test's
// end of the line. Closing the master while only the window holds the slave hangs the line up.
class PortPty {
public:
    PortPty();
    ~PortPty();
    PortPty(const PortPty&) = delete;
    PortPty& operator=(const PortPty&) = delete;

    QString path() const { return path_; }
    void closeMaster();
    // What the window sent, once at least `count` bytes came or the generous bound passed; the event
    // loop runs meanwhile, so the window's timers go on.
    QByteArray readFromWindow(int count, int boundMs = 10000);

private:
    int master_ = -1;
    QString path_;
};

// A machine below a scratch root: two USB adapters with /dev/serial/by-id names, a built-in port and a
// placeholder port without a UART. Their /dev nodes are plain files until a test links one to a pty.
void BuildFakeMachine(const FakeTree& tree);
// Adds a USB adapter with a by-id name, as plugging one in does.
void AddFakeUsbAdapter(const FakeTree& tree, const QString& usbName, const QString& tty,
                       const QByteArray& product, const QByteArray& serial);
// Points the device node at path (relative to the root) to a real device such as a pty slave.
void LinkNode(const FakeTree& tree, const QString& node, const QString& realPath);

// Ids of this process's threads now: the serial workers come and go with the port.
QStringList ThreadIds();

// Runs the event loop until `done` holds or the generous bound passes; whether it holds.
bool WaitUntil(const std::function<bool()>& done, int boundMs = 10000);

class PortWindowTest : public WindowTest {
protected:
    // Creates the window on the fake tree's root and shows it; start-up runs.
    TForm1& StartOnFakeRoot();
    // Triggers "Ports…" and, once the dialog is up, runs `drive`, which must close it.
    void RunPortsDialog(const std::function<void(TPortsDialog&)>& drive);
    QString PortStatus() const { return Text("PortStatus"); }
    TComPort* Port() const { return form->findChild<TComPort*>("ComPort1"); }
    QString IniValue(const QString& section, const QString& key) const;

    FakeTree tree;
};

} // namespace quellix
