// The File menu commands and the autosave file.
#include "Unit1.h"

#include "BlockFile.h"
#include "UndoCommands.h"

#include <QDir>
#include <QFileInfo>

namespace quellix {

void TForm1::ShowMessage(const QString& text, const QString& informative) {
    Dialogs->ShowMessage(this, text, informative);
}

// The directory of FileName ("/" for a file in the root), or the current directory while there is none.
QString TForm1::DialogInitialDir() const {
    const qsizetype slash = FileName.lastIndexOf(u'/');
    if (slash < 0)
        return QDir::currentPath();
    return slash == 0 ? QStringLiteral("/") : FileName.left(slash);
}

FileDialogRequest TForm1::QlxDialogRequest() const {
    return {DialogInitialDir(), QStringLiteral("qlx files (*.qlx)"), QStringLiteral("qlx")};
}

void TForm1::Open1Click() {
    const auto chosen = Dialogs->OpenFileName(this, QlxDialogRequest());
    if (!chosen)
        return;
    const ConfigUndo::State before = UndoCommands->Current();
    FileName = *chosen;
    if (!LoadBlockFile(Block, FileName, [this](const QString& message) { ShowMessage(message); })) {
        ShowMessage("Error Reading: " + FileName);
        return;
    }
    UndoCommands->Replaced(QStringLiteral("Open"), before, "Opened " + QFileInfo(FileName).fileName());
    BlockToWindow(Block);
}

void TForm1::Save1Click() {
    if (FileName.isEmpty()) {
        SaveAs1Click();
        return;
    }
    SaveBlockFile(Block, FileName, [this](const QString& message) { ShowMessage(message); });
}

void TForm1::SaveAs1Click() {
    const auto chosen = Dialogs->SaveFileName(this, QlxDialogRequest());
    if (!chosen)
        return;
    FileName = *chosen;
    SaveBlockFile(Block, FileName, [this](const QString& message) { ShowMessage(message); });
}

QString TForm1::AutosavePath() const {
    return StartDir + QStringLiteral("/quellix.ini");
}

// The block of the last run, or the defaults when there is no such file or it does not load.
void TForm1::LoadAutosave() {
    const QString path = AutosavePath();
    const QFileInfo info(path);
    const bool present = info.exists() && !info.isDir();
    if (!present || !LoadBlockFile(Block, path, [this](const QString& message) { ShowMessage(message); }))
        SetBlockDefaults(Block);
}

} // namespace quellix
