#include "UndoCommands.h"

#include "LinkDriver.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>

namespace quellix {

namespace {
constexpr int NoteMs = 10000;
const QString ReadFromUnit = QStringLiteral("Read from unit");
} // namespace

TUndoCommands::TUndoCommands(QMainWindow* window, QMenu* menu, LinkDriver& link, ConfigBlock& block,
                             QString& fileName, std::function<void()> redraw)
    : QObject(window), window_(window), link_(link), block_(block), fileName_(fileName),
      redraw_(std::move(redraw)) {
    setObjectName(QStringLiteral("UndoCommands"));
    undoAction_ = menu->addAction(QString());
    undoAction_->setObjectName(QStringLiteral("Undo1"));
    undoAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    redoAction_ = menu->addAction(QString());
    redoAction_->setObjectName(QStringLiteral("Redo1"));
    // Ctrl+Shift+Z as KDE and GNOME have it, and Ctrl+Y as other systems do.
    redoAction_->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    connect(undoAction_, &QAction::triggered, this, [this] { UndoClick(); });
    connect(redoAction_, &QAction::triggered, this, [this] { RedoClick(); });
    link_.addListener(*this);
    ShowState();
}

TUndoCommands::~TUndoCommands() {
    link_.removeListener(*this);
}

void TUndoCommands::Replaced(const QString& command, const ConfigUndo::State& before, const QString& done) {
    undo_.Replaced(command, before);
    ShowState();
    if (!done.isEmpty())
        Note(done + QStringLiteral(" \u2014 ") + Keys(undoAction_) + QStringLiteral(" to undo"));
}

void TUndoCommands::ReadFromUnitClicked() {
    if (!running_[0])
        Replaced(ReadFromUnit, Current(), QString());
}

void TUndoCommands::SequenceStep(LinkSequence sequence, int, StepOutcome outcome) {
    const bool download = sequence == LinkSequence::Download;
    running_[download ? 0 : 1] = outcome == StepOutcome::Requested;
    ShowState();
    if (!download || outcome == StepOutcome::Requested || undo_.UndoCommand() != ReadFromUnit)
        return;
    // A download that ended early has changed part of the configuration: Undo mends that too.
    const QString keys = Keys(undoAction_);
    Note(outcome == StepOutcome::Complete
             ? QStringLiteral("Configuration read from the unit \u2014 %1 to undo").arg(keys)
             : QStringLiteral("Read from unit ended early \u2014 %1 brings back the configuration before it")
                   .arg(keys));
}

void TUndoCommands::UndoClick() {
    ConfigUndo::State state = Current();
    const QString command = undo_.Undo(state);
    if (command.isEmpty())
        return;
    Apply(state);
    Note(QStringLiteral("Undone: %1 \u2014 %2 to redo").arg(command, Keys(redoAction_)));
}

void TUndoCommands::RedoClick() {
    ConfigUndo::State state = Current();
    const QString command = undo_.Redo(state);
    if (command.isEmpty())
        return;
    Apply(state);
    Note(QStringLiteral("Redone: %1 \u2014 %2 to undo").arg(command, Keys(undoAction_)));
}

void TUndoCommands::Apply(const ConfigUndo::State& state) {
    block_ = state.block;
    fileName_ = state.fileName;
    redraw_();
    ShowState();
}

void TUndoCommands::ShowState() {
    const bool idle = !running_[0] && !running_[1];
    const QString undo = undo_.UndoCommand();
    const QString redo = undo_.RedoCommand();
    undoAction_->setText(undo.isEmpty() ? QStringLiteral("&Undo") : QStringLiteral("&Undo ") + undo);
    redoAction_->setText(redo.isEmpty() ? QStringLiteral("&Redo") : QStringLiteral("&Redo ") + redo);
    undoAction_->setEnabled(idle && !undo.isEmpty());
    redoAction_->setEnabled(idle && !redo.isEmpty());
}

void TUndoCommands::Note(const QString& text) {
    window_->statusBar()->showMessage(text, NoteMs);
}

QString TUndoCommands::Keys(const QAction* action) const {
    return action->shortcut().toString(QKeySequence::NativeText);
}

} // namespace quellix
