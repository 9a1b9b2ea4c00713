// Start-up, port selection and shut-down.
#include "Unit1.h"

#include "BlockFile.h"
#include "DataRecording.h"
#include "FormState.h"
#include "WindowLog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QThread>

#include <utility>

namespace quellix {

namespace {
constexpr int PortDigits = PortCount;
constexpr unsigned long PortChangePauseMs = 100;
} // namespace

TForm1::~TForm1() {
    removeLinkListener(*Recording);
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
        if (QString why; !FormStorage1.RestoreFormPlacement(&why))
            ShowMessage("Cannot Read " + FormStateFilePath(),
                        why +
                            QStringLiteral(". The file is left as it is: the window's state and the checked "
                                           "port are not saved to it."));
        FormShow();
        StartingUp = false;
        FormShown = true;
        if (Stopping) {
            // Never shown: the close runs from the event loop, which ends the program.
            QMetaObject::invokeMethod(this, &TForm1::FinishStop, Qt::QueuedConnection);
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
    session_.stop();
    QThread::msleep(PortChangePauseMs);
    for (int n = 1; n <= PortDigits; ++n)
        Control<QAction>("Com_", n)->setChecked(false);
    bool open = false;
    const int n = digit.digitValue();
    const bool selected = n >= 1 && n <= PortDigits;
    if (selected) {
        Control<QAction>("Com_", n)->setChecked(true);
        // A network port's open waits for the server, up to its connect limit.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        open = session_.openCom(n);
        QApplication::restoreOverrideCursor();
    }
    showPortStatus();
    if (selected && !open)
        ShowMessage("Error opening com port " + QString(digit), portProblemText());
    enableLinkButtons(open);
    if (!open)
        AutoSend->setChecked(false);
}

// "Com_<digit>".
void TForm1::Com_1Click(QObject* Sender) {
    const QString name = Sender ? Sender->objectName() : QString();
    SelectPort(name.size() > 4 ? name[4] : QChar(u' '));
}

// Once, whatever asked for the close. The close box keeps the form state, then the autosave, each
// failure with its message. A stop from outside keeps the autosave first, the user's work, and the form
// state after it: a service manager sends SIGKILL a few seconds after SIGTERM.
void TForm1::closeEvent(QCloseEvent* event) {
    if (!std::exchange(Closed, true)) {
        Closing = true;
        const bool stop = Stopping;
        if (!stop)
            SaveFormState();
        FormClose();
        if (stop)
            SaveFormState();
        Closing = false;
        if (Stopping)
            QMetaObject::invokeMethod(this, &TForm1::FinishStop, Qt::QueuedConnection);
    }
    QMainWindow::closeEvent(event);
}

void TForm1::SaveFormState() {
    if (QString why; FormStorage1.Restored() && !FormStorage1.SaveFormPlacement(false, &why))
        ShowMessage("Cannot Save " + FormStateFilePath(), why);
}

void TForm1::StopRequested() {
    Stopping = true;
    Dialogs->Stop();
    const bool waited = EndModalWaits();
    // A start-up or a close that waited goes on to its end and finishes the stop from there.
    if (StartingUp || Closing)
        return;
    if (waited)
        QMetaObject::invokeMethod(this, &TForm1::FinishStop, Qt::QueuedConnection);
    else
        FinishStop();
}

// Every dialog and message box that waits for the user ends as if cancelled, the innermost first. True
// when there was one.
bool TForm1::EndModalWaits() {
    bool ended = false;
    for (int depth = 0; depth < 16; ++depth) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            break;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->done(QDialog::Rejected);
        else
            modal->close();
        ended = true;
    }
    return ended;
}

void TForm1::FinishStop() {
    if (StartingUp || Closing)
        return;
    if (!Closed)
        close();
    if (!std::exchange(Exiting, true))
        QCoreApplication::exit(0);
}

// The application ends by other ways than a stop signal (the desktop session's end, a quit from
// elsewhere): the window closes in order first, without a message. No exit() from here: from Qt 6.5 on,
// exit() itself emits aboutToQuit.
void TForm1::ApplicationQuitting() {
    if (Closed || StartingUp || Closing)
        return;
    Stopping = true;
    Dialogs->Stop();
    Exiting = true;
    close();
}

void TForm1::CommitSessionData(const std::function<bool()>& mayInteract) {
    if (!FormShown || Closed)
        return;
    QStringList failures;
    SaveBlockFile(Block, AutosavePath(), [&failures](const QString& message) { failures << message; });
    if (QString why; FormStorage1.Restored() && !FormStorage1.SaveFormPlacement(false, &why))
        failures << "Cannot Save " + FormStateFilePath();
    if (failures.isEmpty())
        return;
    const bool shown = !Stopping && mayInteract();
    for (const QString& failure : failures) {
        if (shown)
            ShowMessage(failure);
        else
            ReportOnStandardError(failure, QString());
    }
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
