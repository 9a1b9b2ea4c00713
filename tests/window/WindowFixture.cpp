#include "WindowFixture.h"

#include "BlockImages.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <cstring>

namespace quellix {

void RecordingDialogs::ShowMessage(QWidget* parent, const QString& text, const QString& informative) {
    record_->messages << text;
    record_->informative << informative;
    record_->overVisibleWindow << (parent && parent->window()->isVisible());
}

namespace {
std::optional<QString> NextAnswer(QStringList& answers) {
    const QString answer = answers.isEmpty() ? QString() : answers.takeFirst();
    if (answer.isNull())
        return std::nullopt;
    return answer;
}
} // namespace

std::optional<QString> RecordingDialogs::OpenFileName(QWidget*, const FileDialogRequest& request) {
    record_->openRequests << request;
    return NextAnswer(record_->openAnswers);
}

std::optional<QString> RecordingDialogs::SaveFileName(QWidget*, const FileDialogRequest& request) {
    record_->saveRequests << request;
    return NextAnswer(record_->saveAnswers);
}

void RecordingDialogs::ShowAbout(QWidget*, const QString& text) {
    record_->abouts << text;
}

bool RecordingDialogs::StartHelpViewer(const HelpViewer& viewer) {
    record_->viewers << viewer;
    return record_->viewerStarts;
}

void WindowTest::SetUp() {
    QApplication::setQuitOnLastWindowClosed(false);
    savedDir_ = QDir::currentPath();
    savedConfigHome_ = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    ASSERT_TRUE(QDir::setCurrent(start.path()));
}

void WindowTest::TearDown() {
    form.reset();
    form2.reset();
    QDir::setCurrent(savedDir_);
    if (savedConfigHome_.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", savedConfigHome_);
}

TForm1& WindowTest::Create() {
    form = std::make_unique<TForm1>(std::make_unique<RecordingDialogs>(user));
    form2 = std::make_unique<TForm2>();
    form->SetEditDialog(form2.get());
    return *form;
}

TForm1& WindowTest::Start() {
    Create();
    form->show();
    return *form;
}

void WindowTest::Close() {
    form->close();
}

void WindowTest::WriteFormState(const QString& text) const {
    config.write("quellix.INI", text.toUtf8());
}

QString WindowTest::StartDir() const {
    return QFileInfo(start.path()).canonicalFilePath();
}

QString WindowTest::Text(const QString& name) const {
    const auto* label = Find<QLabel>(name);
    return label ? label->text() : QString();
}

bool WindowTest::Checked(const QString& name) const {
    if (const auto* action = form->findChild<QAction*>(name))
        return action->isChecked();
    const auto* box = Find<QCheckBox>(name);
    return box && box->isChecked();
}

void WindowTest::Trigger(const QString& actionName) const {
    if (auto* action = Find<QAction>(actionName))
        action->trigger();
}

void WindowTest::Click(const QString& widgetName) const {
    if (auto* widget = Find<QWidget>(widgetName))
        QTest::mouseClick(widget, Qt::LeftButton);
}

void WindowTest::EditLabel(const QString& labelName, const std::function<void(TForm2&)>& drive) {
    TForm2* dialog = form2.get();
    bool driven = false;
    QTimer::singleShot(0, dialog, [dialog, drive, &driven] {
        driven = true;
        if (!dialog->isVisible()) {
            ADD_FAILURE() << "the edit dialog is not shown";
            return;
        }
        drive(*dialog);
    });
    // A drive that forgets to close the dialog fails instead of hanging.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, dialog, [dialog] {
        if (dialog->isVisible()) {
            ADD_FAILURE() << "the edit dialog was left open";
            dialog->reject();
        }
    });
    watchdog.start(30000);
    Click(labelName);
    EXPECT_TRUE(driven) << "no edit dialog for " << labelName.toStdString();
}

void WindowTest::TypeIntoLabel(const QString& labelName, const QString& text) {
    EditLabel(labelName, [&text](TForm2& dialog) {
        QTest::keyClicks(dialog.Edit2, text);
        QTest::keyClick(dialog.Edit2, Qt::Key_Return);
    });
}

QByteArray WindowTest::Image(const ConfigBlock& block) {
    return BlockImage(block);
}

ConfigBlock WindowTest::Defaults() {
    return quellix::DefaultBlock();
}

} // namespace quellix
