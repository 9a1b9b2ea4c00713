// How the main window talks to the user in modal boxes and file dialogs, and starts the manual's
// viewer. The window gets one of these; the real one shows Qt's message box and file dialogs and starts
// the viewer, tests install one that records and answers.
#pragma once

#include <QString>
#include <memory>
#include <optional>

class QWidget;

namespace quellix {

struct HelpViewer;

// What a file dialog is opened with.
struct FileDialogRequest {
    QString initialDir;
    QString filter;        // as Qt writes it, e.g. "qlx files (*.qlx)"; shown by its name alone
    QString defaultSuffix; // added to a typed name without one
};

class TUserDialogs {
public:
    virtual ~TUserDialogs() = default;

    // A modal box with one OK button that returns when the user closes it. `informative` is an optional
    // second text shown under the message (for example why a port did not open); empty shows none.
    virtual void ShowMessage(QWidget* parent, const QString& text, const QString& informative) = 0;
    // The open dialog; also accepts a typed name of a file that does not exist. Nothing when cancelled.
    virtual std::optional<QString> OpenFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    // The save dialog; an existing file is chosen without an overwrite question. Nothing when cancelled.
    virtual std::optional<QString> SaveFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    // The About box: `text` in lines, selectable, under the program's icon.
    virtual void ShowAbout(QWidget* parent, const QString& text) = 0;
    // Starts the viewer and returns at once; false when it could not be started.
    virtual bool StartHelpViewer(const HelpViewer& viewer) = 0;
    // A modal question with Yes and No, No the default; true for Yes. Dialogs that cannot ask say No.
    virtual bool Ask(QWidget* parent, const QString& text, const QString& informative);
};

// The real boxes and dialogs of Qt.
std::unique_ptr<TUserDialogs> MakeQtUserDialogs();

// A message where no box may wait for the user: one line on standard error, "quellix: " in front.
void ReportOnStandardError(const QString& text, const QString& informative);

// Stands between the window and the user's boxes: once a stop from outside has come, nothing waits for
// the user any more, so that nothing holds up the saves before the program ends. Messages then go to
// standard error and file dialogs are cancelled.
class TStoppableDialogs final : public TUserDialogs {
public:
    explicit TStoppableDialogs(std::unique_ptr<TUserDialogs> inner) : inner_(std::move(inner)) {}

    void Stop() { stopped_ = true; }

    void ShowMessage(QWidget* parent, const QString& text, const QString& informative) override;
    std::optional<QString> OpenFileName(QWidget* parent, const FileDialogRequest& request) override;
    std::optional<QString> SaveFileName(QWidget* parent, const FileDialogRequest& request) override;
    void ShowAbout(QWidget* parent, const QString& text) override;
    bool StartHelpViewer(const HelpViewer& viewer) override;
    bool Ask(QWidget* parent, const QString& text, const QString& informative) override;

private:
    std::unique_ptr<TUserDialogs> inner_;
    bool stopped_ = false;
};

} // namespace quellix
