// The "Edit" menu's Undo and Redo of whole-configuration changes (Set Defaults, Open, Read from unit,
// Use File Values) and their notes in the status bar. Both wait while the link reads or sends the
// configuration, whose replies and requests go on using the block.
#pragma once

#include "ConfigUndo.h"
#include "LinkListener.h"

#include <QObject>
#include <functional>

class QAction;
class QMainWindow;
class QMenu;

namespace quellix {

class LinkDriver;

class TUndoCommands : public QObject, public LinkListener {
    Q_OBJECT
public:
    // Adds "Undo" and "Redo" to `menu`; they change `block` and `fileName` and call `redraw`. Follows
    // `link`, which must outlive it.
    TUndoCommands(QMainWindow* window, QMenu* menu, LinkDriver& link, ConfigBlock& block, QString& fileName,
                  std::function<void()> redraw);
    ~TUndoCommands() override;

    // The window's configuration now, as a change is about to replace it.
    ConfigUndo::State Current() const { return {block_, fileName_}; }
    // `command` replaced `before`; the status bar says `done` and how to undo it.
    void Replaced(const QString& command, const ConfigUndo::State& before, const QString& done);
    // The configuration "Read from unit" was clicked: what the download replaces is kept, once for a
    // download that runs already. The note comes when it ends.
    void ReadFromUnitClicked();

    void SequenceStep(LinkSequence sequence, int step, StepOutcome outcome) override;

private:
    void UndoClick();
    void RedoClick();
    void Apply(const ConfigUndo::State& state);
    void ShowState();
    void Note(const QString& text);
    QString Keys(const QAction* action) const;

    QMainWindow* window_;
    LinkDriver& link_;
    ConfigBlock& block_;
    QString& fileName_;
    std::function<void()> redraw_;
    ConfigUndo undo_;
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
    bool running_[2] = {false, false}; // download, upload
};

} // namespace quellix
