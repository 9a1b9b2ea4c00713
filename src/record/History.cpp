#include "History.h"

#include <algorithm>

namespace quellix {

namespace {
// Flag bytes of a gap mark; with every value NoValue no reply looks like it in practice, and if one did
// it would show the same: nothing.
constexpr std::uint8_t GapFlags = 0xFF;
} // namespace

bool IsGapReading(const Reading& reading) {
    for (std::size_t i = 0; i < ChannelCount; ++i) {
        if (reading.raw[i] != NoValue || reading.shown[i] != NoValue || reading.flags[i] != GapFlags)
            return false;
    }
    return true;
}

void History::Add(const Reading& reading) {
    Entry e{};
    e.ms = reading.msecsSinceEpoch;
    for (std::size_t i = 0; i < ChannelCount; ++i) {
        e.raw[i] = reading.raw[i];
        e.shown[i] = reading.shown[i];
        e.flags[i] = reading.flags[i];
    }
    Push(e);
}

void History::AddStale(std::int64_t msecsSinceEpoch) {
    if (entries_.empty() || IsGap(entries_.size() - 1))
        return;
    Reading gap;
    gap.msecsSinceEpoch = msecsSinceEpoch;
    gap.raw.fill(NoValue);
    gap.shown.fill(NoValue);
    gap.flags.fill(GapFlags);
    Add(gap);
}

void History::Push(const Entry& entry) {
    // Times are read by value: a packed entry's time may sit off its natural alignment.
    Entry e = entry;
    if (!entries_.empty()) {
        const std::int64_t last = entries_.back().ms;
        if (e.ms < last)
            e.ms = last;
    }
    entries_.push_back(e);
    const std::int64_t oldest = e.ms - KeepMs;
    while (entries_.front().ms < oldest)
        entries_.pop_front();
}

Reading History::At(std::size_t index) const {
    const Entry& e = entries_[index];
    Reading r;
    r.msecsSinceEpoch = e.ms;
    for (std::size_t i = 0; i < ChannelCount; ++i) {
        r.raw[i] = e.raw[i];
        r.shown[i] = e.shown[i];
        r.flags[i] = e.flags[i];
    }
    return r;
}

bool History::IsGap(std::size_t index) const {
    return IsGapReading(At(index));
}

std::size_t History::LowerBound(std::int64_t msecsSinceEpoch) const {
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), msecsSinceEpoch,
                                     [](const Entry& e, std::int64_t ms) { return e.ms < ms; });
    return static_cast<std::size_t>(it - entries_.begin());
}

// libstdc++ keeps a deque's elements in 512-byte blocks (18 entries each) behind a map of pointers.
std::size_t History::MemoryBytes() const {
    constexpr std::size_t perBlock = 512 / sizeof(Entry);
    const std::size_t blocks = entries_.size() / perBlock + 2;
    return blocks * 512 + blocks * 2 * sizeof(void*);
}

} // namespace quellix
