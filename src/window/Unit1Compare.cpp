// "Compare…": the window's configuration against a configuration file.
#include "Unit1.h"

#include "CompareDialog.h"
#include "ConfigFiles.h"
#include "UndoCommands.h"

#include <QFileInfo>

namespace quellix {

void TForm1::Compare1Click() {
    const auto chosen =
        Dialogs->OpenFileName(this, {DialogInitialDir(), QStringLiteral("Configuration files (*.qlx *.json)"),
                                     QStringLiteral("qlx")});
    if (!chosen)
        return;
    QString message;
    const std::optional<ConfigBlock> file = ReadConfigFile(*chosen, message);
    if (!file) {
        ShowMessage(QStringLiteral("Cannot Compare"), message);
        return;
    }
    TCompareDialog dialog(
        Block, *file, *chosen,
        [this, name = QFileInfo(*chosen).fileName()](const ConfigBlock& updated) {
            UndoCommands->Replaced(QStringLiteral("Use File Values"), UndoCommands->Current(),
                                   "Values of " + name + " used");
            Block = updated;
            BlockToWindow(Block);
        },
        this);
    dialog.exec();
}

} // namespace quellix
