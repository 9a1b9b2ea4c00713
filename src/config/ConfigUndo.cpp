#include "ConfigUndo.h"

#include <algorithm>

namespace quellix {

void ConfigUndo::Replaced(const QString& command, const State& before) {
    undo_.push_back({command, before});
    if (undo_.size() > Depth)
        undo_.pop_front();
    redo_.clear();
}

QString ConfigUndo::Undo(State& current) {
    return Swap(undo_, redo_, current);
}

QString ConfigUndo::Redo(State& current) {
    return Swap(redo_, undo_, current);
}

// The newest entry of `from` becomes the current configuration, and the current one goes to `to` under
// the same command, so that the other direction takes it back.
QString ConfigUndo::Swap(std::deque<Entry>& from, std::deque<Entry>& to, State& current) {
    if (from.empty())
        return {};
    Entry entry = std::move(from.back());
    from.pop_back();
    State restored = entry.state;
    std::copy(std::begin(current.block.RawValue), std::end(current.block.RawValue),
              std::begin(restored.block.RawValue));
    std::copy(std::begin(current.block.MeasuredValue), std::end(current.block.MeasuredValue),
              std::begin(restored.block.MeasuredValue));
    to.push_back({entry.command, std::move(current)});
    current = std::move(restored);
    return entry.command;
}

} // namespace quellix
