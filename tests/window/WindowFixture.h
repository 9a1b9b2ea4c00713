// Drives the real main window headless: its own configuration and start-up directories, message boxes
// and file dialogs answered by a recorder, the modal edit dialog driven by keys.
#pragma once

#include "ConfigBlock.h"
#include "Manual.h"
#include "TempDir.h"
#include "Unit1.h"
#include "Unit2.h"
#include "UserDialogs.h"

#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

namespace quellix {

// Readable failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

// What the window showed the user and what the test answers.
struct UserRecord {
    QStringList messages;
    QStringList informative;
    QList<bool> overVisibleWindow; // per message: whether the window it belongs to was already shown
    QList<FileDialogRequest> openRequests;
    QList<FileDialogRequest> saveRequests;
    QStringList openAnswers; // a null text or none left: the user cancels
    QStringList saveAnswers;
    QStringList abouts;
    QList<HelpViewer> viewers; // asked to start; none is
    bool viewerStarts = true;  // what starting one answers
};

class RecordingDialogs : public TUserDialogs {
public:
    explicit RecordingDialogs(std::shared_ptr<UserRecord> record) : record_(std::move(record)) {}
    void ShowMessage(QWidget* parent, const QString& text, const QString& informative) override;
    std::optional<QString> OpenFileName(QWidget* parent, const FileDialogRequest& request) override;
    std::optional<QString> SaveFileName(QWidget* parent, const FileDialogRequest& request) override;
    void ShowAbout(QWidget* parent, const QString& text) override;
    bool StartHelpViewer(const HelpViewer& viewer) override;

private:
    std::shared_ptr<UserRecord> record_;
};

class WindowTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the window and the edit dialog as the program does, without showing them.
    TForm1& Create();
    // Creates and shows the window; start-up runs.
    TForm1& Start();
    // Closes the window as the user does.
    void Close();

    void WriteFormState(const QString& text) const;
    QString FormStatePath() const { return config.file("quellix.INI"); }
    QString AutosavePath() const { return start.file("quellix.ini"); }
    // The canonical start-up directory, as the current directory reports it.
    QString StartDir() const;

    template <class T> T* Find(const QString& name) const {
        T* found = form->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    QString Text(const QString& name) const;
    bool Checked(const QString& name) const;
    void Trigger(const QString& actionName) const;
    void Click(const QString& widgetName) const;

    // Clicks the label and, once the edit dialog is up, runs `drive`, which must close it.
    void EditLabel(const QString& labelName, const std::function<void(TForm2&)>& drive);
    // Clicks the label, types the text over the selection and presses Enter.
    void TypeIntoLabel(const QString& labelName, const QString& text);

    // The block's 242 bytes.
    static QByteArray Image(const ConfigBlock& block);
    static ConfigBlock Defaults();

    TempDir config;
    TempDir start;
    std::shared_ptr<UserRecord> user = std::make_shared<UserRecord>();
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TForm2> form2;

private:
    QString savedDir_;
    QByteArray savedConfigHome_;
};

} // namespace quellix
