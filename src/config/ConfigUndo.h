// The undo of whole-configuration changes (Set Defaults, Open, Read from unit, Use File Values): each
// keeps the configuration it replaced, a few levels deep, Undo brings it back and Redo takes the undone
// change again. The readings in the block are measurements, not configuration: Undo and Redo leave
// them as they are.
#pragma once

#include "ConfigBlock.h"

#include <QString>
#include <deque>

namespace quellix {

class ConfigUndo {
public:
    // A configuration as the window holds it: the block and the file it belongs to, which Save writes.
    struct State {
        ConfigBlock block{};
        QString fileName;
    };
    static constexpr std::size_t Depth = 8;

    // `command` has replaced `before`: kept for Undo (the oldest beyond Depth is dropped). What was
    // undone cannot be redone any more.
    void Replaced(const QString& command, const State& before);
    // Brings the configuration before the last change back into `current`, readings kept; returns that
    // change's command, or an empty text when there is none.
    QString Undo(State& current);
    // Takes the last undone change again; its command, or an empty text.
    QString Redo(State& current);

    QString UndoCommand() const { return undo_.empty() ? QString() : undo_.back().command; }
    QString RedoCommand() const { return redo_.empty() ? QString() : redo_.back().command; }

private:
    struct Entry {
        QString command;
        State state;
    };
    static QString Swap(std::deque<Entry>& from, std::deque<Entry>& to, State& current);

    std::deque<Entry> undo_;
    std::deque<Entry> redo_;
};

} // namespace quellix
