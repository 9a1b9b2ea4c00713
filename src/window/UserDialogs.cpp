#include "UserDialogs.h"

#include "Manual.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

#include <cstdio>

namespace quellix {

namespace {

class TQtUserDialogs final : public TUserDialogs {
public:
    void ShowMessage(QWidget* parent, const QString& text, const QString& informative) override {
        const QString title = parent ? parent->window()->windowTitle() : QString();
        QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
        // File names and device paths are shown as they are, never as markup.
        box.setTextFormat(Qt::PlainText);
        if (!informative.isEmpty()) {
            box.setInformativeText(informative);
            if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
                label->setTextFormat(Qt::PlainText);
        }
        box.exec();
    }

    bool Ask(QWidget* parent, const QString& text, const QString& informative) override {
        const QString title = parent ? parent->window()->windowTitle() : QString();
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
        box.setDefaultButton(QMessageBox::No);
        box.setTextFormat(Qt::PlainText);
        box.setInformativeText(informative);
        return box.exec() == QMessageBox::Yes;
    }

    std::optional<QString> OpenFileName(QWidget* parent, const FileDialogRequest& request) override {
        return Run(parent, request, QFileDialog::AcceptOpen);
    }

    std::optional<QString> SaveFileName(QWidget* parent, const FileDialogRequest& request) override {
        return Run(parent, request, QFileDialog::AcceptSave);
    }

    void ShowAbout(QWidget* parent, const QString& text) override {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("About Quellix Config"), text, QMessageBox::Ok,
                        parent);
        box.setTextFormat(Qt::PlainText);
        box.setTextInteractionFlags(Qt::TextSelectableByMouse);
        box.setIconPixmap(box.windowIcon().pixmap(64, 64));
        box.exec();
    }

    bool StartHelpViewer(const HelpViewer& viewer) override {
        if (!viewer.url.isEmpty())
            return QDesktopServices::openUrl(QUrl(viewer.url));
        return QProcess::startDetached(viewer.program, viewer.arguments);
    }

private:
    static std::optional<QString> Run(QWidget* parent, const FileDialogRequest& request,
                                      QFileDialog::AcceptMode mode) {
        QFileDialog dialog(parent, QString(), request.initialDir, request.filter);
        dialog.setAcceptMode(mode);
        // AnyFile lets "Open" take a typed name of a missing file; its load then reports it.
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(request.defaultSuffix);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        // The filter by its name alone ("qlx files"), its pattern unseen.
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().constFirst();
    }
};

} // namespace

std::unique_ptr<TUserDialogs> MakeQtUserDialogs() {
    return std::make_unique<TQtUserDialogs>();
}

void ReportOnStandardError(const QString& text, const QString& informative) {
    QString line = QStringLiteral("quellix: ") + text;
    if (!informative.isEmpty())
        line += QStringLiteral(": ") + informative.simplified();
    std::fprintf(stderr, "%s\n", qUtf8Printable(line));
    std::fflush(stderr);
}

void TStoppableDialogs::ShowMessage(QWidget* parent, const QString& text, const QString& informative) {
    if (stopped_)
        ReportOnStandardError(text, informative);
    else
        inner_->ShowMessage(parent, text, informative);
}

bool TUserDialogs::Ask(QWidget*, const QString&, const QString&) {
    return false;
}

bool TStoppableDialogs::Ask(QWidget* parent, const QString& text, const QString& informative) {
    if (stopped_) {
        ReportOnStandardError(text, QStringLiteral("Answered No: the program is stopping."));
        return false;
    }
    return inner_->Ask(parent, text, informative);
}

std::optional<QString> TStoppableDialogs::OpenFileName(QWidget* parent, const FileDialogRequest& request) {
    return stopped_ ? std::nullopt : inner_->OpenFileName(parent, request);
}

std::optional<QString> TStoppableDialogs::SaveFileName(QWidget* parent, const FileDialogRequest& request) {
    return stopped_ ? std::nullopt : inner_->SaveFileName(parent, request);
}

void TStoppableDialogs::ShowAbout(QWidget* parent, const QString& text) {
    if (!stopped_)
        inner_->ShowAbout(parent, text);
}

bool TStoppableDialogs::StartHelpViewer(const HelpViewer& viewer) {
    return !stopped_ && inner_->StartHelpViewer(viewer);
}

} // namespace quellix
