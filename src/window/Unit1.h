// The main window: a header panel and four channel panels that show the configuration block, the File,
// Edit, Data, Setup and Help menus, the edit commands, port selection, and the link's buttons, timers
// and status labels. Per-channel controls are found by name: role prefix + channel number ("Tag_3",
// "Set_2_1").
#pragma once

#include "ComPort.h"
#include "ConfigBlock.h"
#include "Controls.h"
#include "FormStorage.h"
#include "LinkDriver.h"
#include "PortSession.h"
#include "UnitWriteAudit.h"
#include "UserDialogs.h"

#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QCloseEvent;
class QPaintEvent;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;

namespace quellix {

class TDataRecording;
class TForm2;
class TLinkMonitorWindow;
class TUndoCommands;
struct SheetInfo;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // `dialogs` shows the message boxes and file dialogs; none gives Qt's own.
    explicit TForm1(std::unique_ptr<TUserDialogs> dialogs = nullptr, QWidget* parent = nullptr);
    ~TForm1() override;

    // The edit dialog of the label edits; the program creates it right after the window.
    void SetEditDialog(TForm2* dialog);
    // Where the machine's /dev, /sys and /proc are found, for port paths, the device list and the
    // diagnosis of a failed open; empty (the default) is the machine's own root. Tests hand in a
    // scratch tree. Set it before the window is shown.
    void setDeviceRoot(const QString& rootPrefix);

    // The one configuration block of the program: the window shows it, edits go into it, the link
    // fills and sends it, files hold its image.
    ConfigBlock Block{};

    // Shows the whole block; Decimal_1Change stays silent meanwhile.
    void BlockToWindow(const ConfigBlock& block);
    // Re-shows the values whose text depends on the channel flags.
    void RefreshValues(const ConfigBlock& block);
    // Copies what the window shows back into the block.
    void WindowToBlock(ConfigBlock& block);

    // Anything beside the window that follows the link (a monitor, a recorder) listens here.
    void addLinkListener(LinkListener& listener) { link_.addListener(listener); }
    void removeLinkListener(LinkListener& listener) { link_.removeListener(listener); }
    // A stop from outside the window: a kill, Ctrl-C, a closed terminal. Every message or dialog that
    // waits for the user ends, and none comes up any more (failures go to standard error); the close
    // then writes the autosave first and the form state after it, once, stops the port and ends the
    // program with 0. A start-up or a close that was waiting goes on to its end first. Asked again, it
    // ends whatever waits again.
    void StopRequested();
    // The desktop session asks to keep the state (a checkpoint, or a logout that may still be
    // cancelled): both files are saved and the window stays open. A failure is shown only when
    // `mayInteract` grants it, and otherwise goes to standard error.
    void CommitSessionData(const std::function<bool()>& mayInteract);

protected:
    void setVisible(bool visible) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Layout (Unit1Layout.cpp).
    void BuildWindow();
    void BuildMenu();
    void BuildHeaderPanel(QWidget* client);
    void BuildChannelPanel(QWidget* client, int n);
    void BuildLinkControls(QWidget* client);
    void BuildStatusBar();
    void BuildKeyboard();
    void ConnectHandlers();
    QSize DesignSize() const;
    void FitSizeToState();
    void CentreOnScreen();

    // Controls by name.
    template <class T> T* Control(const QString& name) const;
    template <class T> T* Control(const QString& prefix, int n) const {
        return Control<T>(prefix + QString::number(n));
    }

    // Editing commands (Unit1Editing.cpp).
    void Tag_1Click(QObject* Sender);
    void Calib1_1Click(QObject* Sender);
    // Opens the edit dialog at `at` (screen coordinates).
    void EditLabel(QLabel* label, QPoint at);
    void Decimal_1Change();
    void Set_1_1Click(QObject* Sender);
    void SetDefaults1Click();

    // File commands and the autosave (Unit1Files.cpp).
    void Open1Click();
    void Save1Click();
    void SaveAs1Click();
    FileDialogRequest QlxDialogRequest() const;
    QString DialogInitialDir() const;
    QString AutosavePath() const;
    void LoadAutosave();
    void ShowMessage(const QString& text, const QString& informative = QString());

    // The link's buttons, timers and labels (Unit1Link.cpp).
    void buildTimers();
    void connectLink();
    void Button12Click();
    void Button13Click();
    void Button14Click();
    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();
    void Timer4Timer();
    void followAutoSend();
    void showLinkStatus(LinkSequence sequence, const QString& caption, StatusColour colour);

    // The audit line of each write to the unit (Unit1Audit.cpp).
    void connectAudit();
    // Before an upload of Block: false when the audit trail cannot take the line and the user does not
    // want to send without it.
    bool StartAudit(const QString& sent, const QString& record);
    void FinishAudit(StepOutcome outcome, int step);
    // The port as records and audit lines name it: "COM1", or the device given by its name.
    QString PortNameForRecords() const;

    // "Data" > "Calibrate…" (Unit1Calibrate.cpp).
    void Calibrate1Click();

    // The Link Monitor (Unit1Monitor.cpp).
    void LinkMonitor1Click();
    // Owns the monitor window; it goes before the link it listens to.
    struct LinkMonitorDeleter {
        void operator()(TLinkMonitorWindow* monitor) const;
    };

    // "Find Unit…" (Unit1FindUnit.cpp).
    void FindUnit1Click();

    // "Compare…" (Unit1Compare.cpp).
    void Compare1Click();

    // Undo of whole-configuration changes (Unit1Undo.cpp).
    void BuildUndo(QMenu* edit);
    struct UndoCommandsDeleter {
        void operator()(TUndoCommands* commands) const;
    };

    // The Help menu (Unit1Help.cpp).
    void Help1Click();
    void About1Click();

    // The configuration sheet (Unit1Sheet.cpp).
    void Print1Click();
    void ExportPdf1Click();
    SheetInfo CurrentSheetInfo() const;

    // Start-up, port selection and shut-down (Unit1Startup.cpp).
    void FormShow();
    void FormClose();
    void SaveFormState();
    void ApplicationQuitting();
    void FinishStop();
    bool EndModalWaits();
    void Com_1Click(QObject* Sender);
    void SelectPort(QChar digit);

    // The Ports dialog, the port's status bar, and unplug and re-plug (Unit1Ports.cpp).
    void Ports1Click();
    // Writes the "Ports" entries of the ports given (n -> device path), keeping the rest of the file;
    // false, after its message, when the file cannot be written.
    bool WritePortPaths(const QMap<int, QString>& paths);
    // Why the selected port is not open, and for a device that is not there, where to look for it.
    QString portProblemText() const;
    void connectPortSession();
    void showPortStatus();
    void enableLinkButtons(bool enabled);
    void portHungUp();
    void portReopened(bool open);

    std::unique_ptr<TStoppableDialogs> Dialogs;
    TForm2* Form2 = nullptr;

    // Serial port of the link; port selection sets CommPort and opens it through the session.
    TComPort ComPort1{this};
    // Which device the selected port opens, its state, and its hang-up and return.
    PortSession session_{ComPort1, this};
    TFormStorage FormStorage1;
    // The link with the unit on the one block: its timers, its blocking pause, its status texts.
    LinkDriver link_{Block, LinkDriver::PauseMode::Holding, LinkDriver::TimerEvents::ToHost, this};

    // Link controls: placed and named here, driven by the link.
    QPushButton* Button12 = nullptr; // "Read from unit", measurements
    QPushButton* Button13 = nullptr; // "Read from unit", configuration download
    QPushButton* Button14 = nullptr; // "Send to unit", configuration upload
    QCheckBox* AutoSend = nullptr;   // "Auto Read"
    QLabel* Label1 = nullptr;        // upload status
    QLabel* Label8 = nullptr;        // download status
    QLabel* swVersion = nullptr;     // the unit's software version
    TElidedLabel* PortStatus = nullptr; // status bar: the selected port, its device and its state
    QTimer* Timer1 = nullptr;        // upload reply timer
    QTimer* Timer2 = nullptr;        // auto read, 1000 ms, always running
    QTimer* Timer3 = nullptr;        // readings staleness, 5000 ms, always running
    QTimer* Timer4 = nullptr;        // download reply timer

    bool Updating = false;   // true while BlockToWindow fills the controls
    bool StartingUp = false; // the first show is restoring the state and running FormShow
    bool FormShown = false;  // FormShow has run
    bool Stopping = false;   // a stop from outside came: nothing waits for the user any more
    bool Exiting = false;    // the stop has asked the event loops to end
    bool Closing = false;    // the close path is saving
    bool Closed = false;     // the close path has run; it runs once
    bool Painted = false;    // the first paint has been logged
    QString StartDir;        // current directory at the first show; home of the autosave file
    QString FileName;        // the configuration file last opened or saved as
    std::optional<ConfigBlock> lastRead_;   // the last configuration read from the unit on this port
    std::optional<UnitWrite> pendingAudit_; // the audit line of the upload under way

    // The readings' history, recording and trend (the "Data" menu's lower part); goes before the
    // block and the dialogs it uses.
    std::unique_ptr<TDataRecording> Recording;
    // Made at its first opening, kept with its entries; declared after link_, so destroyed before it.
    std::unique_ptr<TLinkMonitorWindow, LinkMonitorDeleter> LinkMonitor;
    // Undo and Redo of whole-configuration changes; follows the link, so it goes before it.
    std::unique_ptr<TUndoCommands, UndoCommandsDeleter> UndoCommands;
};

// A mistyped name is a fault of the program, found at once in every build rather than as a null
// pointer later.
template <class T> T* TForm1::Control(const QString& name) const {
    T* control = findChild<T*>(name);
    if (!control)
        qFatal("TForm1: no control named %s", qPrintable(name));
    return control;
}

} // namespace quellix
