// Start-up, port selection and shut-down.
#include "Unit1.h"

#include "BlockFile.h"
#include "DataRecording.h"
#include "FormState.h"
#include "WindowLog.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
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

// The saved state is restored before the first show, and FormShow runs once, right after it. Centring
// comes first: moving a window drops its maximized state.
void TForm1::setVisible(bool visible) {
    const bool firstShow = visible && !FormShown;
    if (firstShow) {
        CentreOnScreen();
        FormStorage1.RestoreFormPlacement();
    }
    QMainWindow::setVisible(visible);
    if (firstShow) {
        FormShown = true;
        FormShow();
    }
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
        ShowMessage("Error opening com port " + QString(digit), Session.problem());
    EnableLinkButtons(open);
    if (!open)
        AutoSend->setChecked(false);
}

// "Com_<digit>".
void TForm1::Com_1Click(QObject* Sender) {
    const QString name = Sender ? Sender->objectName() : QString();
    SelectPort(name.size() > 4 ? name[4] : QChar(u' '));
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (FormStorage1.Restored() && !FormStorage1.SaveFormPlacement(false))
        ShowMessage("Cannot Save " + FormStateFilePath());
    FormClose();
    QMainWindow::closeEvent(event);
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
