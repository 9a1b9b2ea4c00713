// Start-up, port selection and shut-down.
#include "Unit1.h"

#include "BlockFile.h"
#include "DataRecording.h"
#include "FormState.h"
#include "WindowLog.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QThread>

#include <utility>

namespace quellix {

namespace {
constexpr int PortDigits = PortCount;
constexpr unsigned long PortChangePauseMs = 100;
} // namespace

TForm1::~TForm1() {
    RemoveLinkListener(*Recording);
    // A window destroyed without being closed still leaves its state, as the form storage did.
    if (FormStorage1.Restored() && !FormStorage1.Saved() && !FormStorage1.SaveFormPlacement(true))
        qCWarning(lcWindow) << "cannot save the window state to" << FormStateFilePath();
}

// The saved state is restored and FormShow runs before the window first appears: no control is ever
// seen with its name as its text, and a start-up message comes up before the window. Centring comes
// first: moving a window drops its maximized state.
void TForm1::setVisible(bool visible) {
    if (visible && !FormShown && !StartingUp) {
        StartingUp = true;
        CentreOnScreen();
        FormStorage1.RestoreFormPlacement();
        FormShow();
        StartingUp = false;
        FormShown = true;
        if (StopPending) {
            // Never shown: the close runs from the event loop, which ends the program.
            QMetaObject::invokeMethod(this, &TForm1::StopRequested, Qt::QueuedConnection);
            return;
        }
    }
    QMainWindow::setVisible(visible);
}

void TForm1::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        FitSizeToState();
}

// The first paint is when the user first sees the window: the end of the start-up.
void TForm1::paintEvent(QPaintEvent* event) {
    QMainWindow::paintEvent(event);
    if (std::exchange(Painted, true))
        return;
    qCInfo(lcStartup, "first paint %.1f ms after process start (monotonic clock %.3f ms)",
           MsSinceProcessStart(), MonotonicMs());
}

void TForm1::FormShow() {
    StartDir = QDir::currentPath();
    QChar digit = u' ';
    for (int n = 1; n <= PortDigits; ++n) {
        if (Control<QAction>("Com_", n)->isChecked())
            digit = QChar(u'0' + n);
    }
    SelectPort(digit);
    LoadAutosave();
    BlockToWindow(Block);
}

// Port digit '1'..'4' names COM1..COM4; any other closes the port and opens none.
void TForm1::SelectPort(QChar digit) {
    Session.stop();
    QThread::msleep(PortChangePauseMs);
    for (int n = 1; n <= PortDigits; ++n)
        Control<QAction>("Com_", n)->setChecked(false);
    bool open = false;
    const int n = digit.digitValue();
    const bool selected = n >= 1 && n <= PortDigits;
    if (selected) {
        Control<QAction>("Com_", n)->setChecked(true);
        open = Session.openCom(n);
    }
    ShowPortStatus();
    if (selected && !open)
        ShowMessage("Error opening com port " + QString(digit), PortProblemText());
    EnableLinkButtons(open);
    if (!open)
        AutoSend->setChecked(false);
}

// "Com_<digit>".
void TForm1::Com_1Click(QObject* Sender) {
    const QString name = Sender ? Sender->objectName() : QString();
    SelectPort(name.size() > 4 ? name[4] : QChar(u' '));
}

// Form state, then the autosave, then the port: once, whatever asked for the close.
void TForm1::closeEvent(QCloseEvent* event) {
    if (!std::exchange(Closed, true)) {
        Closing = true;
        if (FormStorage1.Restored() && !FormStorage1.SaveFormPlacement(false))
            ShowMessage("Cannot Save " + FormStateFilePath());
        FormClose();
        Closing = false;
    }
    QMainWindow::closeEvent(event);
}

void TForm1::StopRequested() {
    if (StartingUp || Closing) {
        // A message of the start-up or of the close waits for its OK: ending every event loop ends
        // that wait and makes later messages return at once, so the start-up or the close goes on.
        StopPending = StopPending || StartingUp;
        QCoreApplication::exit(0);
        return;
    }
    if (Closed)
        return;
    close();
    // Asked during a dialog's own loop (the edit dialog, a file dialog), the close alone would leave
    // that dialog waiting over a closed window.
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(0);
}

// The block goes to the autosave file whatever changed; then the port stops, so no worker outlives the
// window.
void TForm1::FormClose() {
    Recording->Shutdown();
    if (FormShown)
        SaveBlockFile(Block, AutosavePath(), [this](const QString& message) { ShowMessage(message); });
    ComPort1.StopComm();
}

} // namespace quellix
