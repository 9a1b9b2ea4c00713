// The Ports dialog, the status bar that tells which device the selected port uses and how it is, and
// what the window does when the port's device is unplugged and plugged in again.
#include "Unit1.h"

#include "Controls.h"
#include "FormState.h"
#include "PortsDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>

namespace quellix {

void TForm1::setDeviceRoot(const QString& rootPrefix) {
    session_.setDeviceRoot(rootPrefix);
}

void TForm1::connectPortSession() {
    session_.setObjectName(QStringLiteral("Session"));
    connect(&session_, &PortSession::stateChanged, this, [this] { showPortStatus(); });
    connect(&session_, &PortSession::hungUp, this, &TForm1::portHungUp);
    connect(&session_, &PortSession::reopened, this, &TForm1::portReopened);
}

// A long device path gives way in its middle, so the state always shows; the tooltip has it whole. A
// note in the status bar (an undo's) gives way to a change of the port.
void TForm1::showPortStatus() {
    const QString text = session_.statusText();
    PortStatus->SetText(text, session_.devicePath());
    statusBar()->clearMessage();
    switch (session_.state()) {
    case PortSession::State::NoPort:
        PortStatus->setToolTip(QStringLiteral("Choose a port in the Setup menu."));
        break;
    case PortSession::State::Open: {
        // A network server's refused line settings are no failure, but worth a look when replies fail.
        const QStringList lines = QStringList{text} + session_.port()->warnings();
        PortStatus->setToolTip(lines.join(u'\n'));
        break;
    }
    case PortSession::State::NotOpen:
        PortStatus->setToolTip(portProblemText());
        break;
    case PortSession::State::Gone:
        // A network port says why its connection ended; a device just went.
        PortStatus->setToolTip(
            session_.problem().isEmpty()
                ? text + QStringLiteral(": the device went away; the port opens again when "
                                        "it returns.")
                : session_.problem() +
                      QStringLiteral("; tried again every %1 s.").arg(ReconnectIntervalMs / 1000));
        break;
    }
}

// The buttons that send to the unit, enabled only while the port runs.
void TForm1::enableLinkButtons(bool enabled) {
    Button13->setEnabled(enabled);
    Button14->setEnabled(enabled);
    Button12->setEnabled(enabled);
}

// Rows for COM1..COM4 as the "Ports" section has them now. OK writes the rows that changed and keeps
// the rest of the file; a changed device for the checked port selects that port again.
void TForm1::Ports1Click() {
    const QMap<QString, QString> current = PortSession::readPorts();
    QStringList before;
    for (int n = 1; n <= PortCount; ++n)
        before << PortSession::comDevicePath(current, n);
    const QString openPath = session_.isOpen() ? session_.devicePath() : QString();
    TPortsDialog dialog(session_.deviceRoot(), before, openPath, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QStringList after = dialog.Paths();
    if (after == before)
        return;

    QMap<int, QString> changed;
    for (int n = 1; n <= PortCount; ++n) {
        if (after[n - 1] != before[n - 1])
            changed.insert(n, after[n - 1]);
    }
    if (!WritePortPaths(changed))
        return;
    int checked = 0;
    for (int n = 1; n <= PortCount; ++n) {
        if (Control<QAction>("Com_", n)->isChecked())
            checked = n;
    }
    if (checked > 0 && after[checked - 1] != before[checked - 1])
        SelectPort(QChar(u'0' + checked));
}

bool TForm1::WritePortPaths(const QMap<int, QString>& paths) {
    TMemIniFile ini(FormStateFilePath());
    for (auto it = paths.begin(); it != paths.end(); ++it)
        ini.WriteString(QStringLiteral("Ports"), QStringLiteral("COM%1").arg(it.key()), it.value());
    if (QString why; !ini.UpdateFile(&why)) {
        ShowMessage("Cannot Save " + FormStateFilePath(), why);
        return false;
    }
    return true;
}

// Find Unit is offered where the device is simply not there: nothing at the path, or a port with no
// hardware behind it. A refusal (permission, in use) is mended where it is, not by another device.
QString TForm1::portProblemText() const {
    const QString problem = session_.problem();
    switch (session_.problemKind()) {
    case OpenFailureKind::NotFound:
    case OpenFailureKind::IoError:
        return problem + QStringLiteral("\n\n\"Setup\" > \"Find Unit\u2026\" looks for the unit on every "
                                        "serial device.");
    default:
        return problem;
    }
}

// The device went away under the open port (an unplugged adapter): the session has stopped the port
// and waits for the same path to come back. The sequences end, and nothing can be sent meanwhile, as
// for a port that is not open; Auto Read keeps its tick, so the readings resume by themselves.
void TForm1::portHungUp() {
    link_.abort();
    enableLinkButtons(false);
}

// Reopened once, without a message since nobody asked for it; a failure shows in the status bar and
// leaves the window as after a failed selection.
void TForm1::portReopened(bool open) {
    enableLinkButtons(open);
    if (!open)
        AutoSend->setChecked(false);
}

} // namespace quellix
