// The "Edit" menu: Undo and Redo of the changes that replace the whole configuration.
#include "Unit1.h"

#include "UndoCommands.h"

namespace quellix {

void TForm1::UndoCommandsDeleter::operator()(TUndoCommands* commands) const {
    delete commands;
}

void TForm1::BuildUndo(QMenu* edit) {
    UndoCommands.reset(
        new TUndoCommands(this, edit, link_, Block, FileName, [this] { BlockToWindow(Block); }));
}

} // namespace quellix
