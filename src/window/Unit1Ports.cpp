// The Ports dialog, the status bar that tells which device the selected port uses and how it is, why an
// open failed, and what happens when the port's device is unplugged and plugged in again.
#include "Unit1.h"

#include "FormState.h"
#include "OpenDiagnosis.h"
#include "PortsDialog.h"
#include "RootedPath.h"
#include "WindowLog.h"

#include <QAction>
#include <QLabel>

namespace quellix {

namespace {
constexpr int PortDigits = 4;
constexpr int PortNames = 8; // COM1..COM8 as the serial component knows them
} // namespace

void TForm1::SetDeviceRoot(const QString& rootPrefix) {
    DeviceRoot = rootPrefix;
}

// The paths of the "Ports" section below the device root; every name gets one, since the serial
// component's own default for a missing entry knows no root.
QMap<QString, QString> TForm1::RootedPortPaths(const QMap<QString, QString>& paths) const {
    QMap<QString, QString> rooted;
    for (int n = 1; n <= PortNames; ++n)
        rooted.insert(QStringLiteral("COM%1").arg(n), Rooted(DeviceRoot, PortDevicePath(paths, n)));
    return rooted;
}

QString TForm1::UnrootedPath(const QString& path) const {
    const QString root = DeviceRoot.endsWith(u'/') ? DeviceRoot.chopped(1) : DeviceRoot;
    return !root.isEmpty() && path.startsWith(root + u'/') ? path.mid(root.size()) : path;
}

// Why the last open failed, told from what the serial component kept.
QString TForm1::OpenFailureReason() const {
    return DiagnoseOpenFailure(ComPort1.LastOpenErrno(), UnrootedPath(ComPort1.LastOpenPath()), DeviceRoot);
}

void TForm1::ShowPortStatus() {
    const QString port = QStringLiteral("COM%1 %2 ").arg(PortDigit).arg(PortPath);
    switch (PortState) {
    case TPortState::NoPort:
        PortStatus->setText(QStringLiteral("No port selected"));
        PortStatus->setToolTip(QStringLiteral("Choose a port in the Setup menu."));
        break;
    case TPortState::Open:
        PortStatus->setText(port + QStringLiteral("open"));
        PortStatus->setToolTip(QString());
        break;
    case TPortState::NotOpen:
        PortStatus->setText(port + QStringLiteral("not open"));
        PortStatus->setToolTip(PortProblem);
        break;
    case TPortState::Gone:
        PortStatus->setText(port + QStringLiteral("gone"));
        PortStatus->setToolTip(QStringLiteral("The device went away; the port opens again when it returns."));
        break;
    }
}

// Rows for COM1..COM4 as the "Ports" section has them now. OK writes the rows that changed and keeps
// the rest of the file; a changed device for the checked port selects that port again.
void TForm1::Ports1Click() {
    const QMap<QString, QString> current = PortDevicePaths(TMemIniFile(FormStateFilePath()));
    QStringList before;
    for (int n = 1; n <= PortDigits; ++n)
        before << PortDevicePath(current, n);
    const QString openPath = ComPort1.IsOpen() ? PortPath : QString();
    TPortsDialog dialog(DeviceRoot, before, openPath, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QStringList after = dialog.Paths();
    if (after == before)
        return;

    TMemIniFile ini(FormStateFilePath());
    for (int n = 1; n <= PortDigits; ++n) {
        if (after[n - 1] != before[n - 1])
            ini.WriteString(QStringLiteral("Ports"), QStringLiteral("COM%1").arg(n), after[n - 1]);
    }
    if (!ini.UpdateFile()) {
        ShowMessage("Cannot Save " + FormStateFilePath());
        return;
    }
    int checked = 0;
    for (int n = 1; n <= PortDigits; ++n) {
        if (Control<QAction>("Com_", n)->isChecked())
            checked = n;
    }
    if (checked > 0 && after[checked - 1] != before[checked - 1])
        SelectPort(QChar(u'0' + checked));
}

// A hang-up the previous port posted before it stopped may still be queued when the next one opens.
// The serial component delivers its notifications through this thread's event queue in posting order,
// so a call queued now runs after all of those and before anything the next port raises.
void TForm1::ArmHangup() {
    HangupArmed = false;
    const unsigned opening = ++PortOpenings;
    QMetaObject::invokeMethod(
        this,
        [this, opening] {
            if (opening == PortOpenings)
                HangupArmed = true;
        },
        Qt::QueuedConnection);
}

// The device went away under the open port (an unplugged adapter): stop the port and its sequences,
// say so, and wait for the same path to come back. The buttons and Auto Read stay as they are.
void TForm1::ComPort1RequestHangup() {
    if (!HangupArmed || PortState != TPortState::Open) {
        qCDebug(lcWindow) << "hang-up of a port no longer in use ignored";
        return;
    }
    qCInfo(lcWindow) << "port" << PortPath << "hung up";
    ComPort1.StopComm();
    Link.AbortSequences();
    PortState = TPortState::Gone;
    ShowPortStatus();
    WatchForReturn();
}

void TForm1::WatchForReturn() {
    // A child as well, so that one let go in its own signal is still deleted with the window.
    ReturnWatcher = std::make_unique<DeviceWatcher>(DeviceRoot, this);
    ReturnWatcher->setObjectName(QStringLiteral("ReturnWatcher"));
    connect(ReturnWatcher.get(), &DeviceWatcher::pathAppeared, this, &TForm1::PortPathAppeared);
    ReturnWatcher->watchPath(PortPath);
}

// Reopened once, through port selection; a failure this time only shows in the status bar, since
// nobody asked for it.
void TForm1::PortPathAppeared(const QString& path) {
    if (PortState != TPortState::Gone || path != PortPath)
        return;
    qCInfo(lcWindow) << "port" << PortPath << "is back; reopening";
    // The watcher is the sender; it goes after this call.
    ReturnWatcher.release()->deleteLater();
    ChangePort(PortDigit, false);
}

} // namespace quellix
