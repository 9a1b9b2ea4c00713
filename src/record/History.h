// The readings of the last 24 hours in memory, oldest first: from the first reply on, whether or not a
// trend shows them. Each reading takes 28 bytes (time, eight 16-bit values, the four flag bytes), so a
// day at one reading a second holds about 2.3 MiB. Moments when the readings went stale are kept as gap
// marks, so that a trend never joins the readings across them.
#pragma once

#include "Reading.h"

#include <cstddef>
#include <cstdint>
#include <deque>

namespace quellix {

class History {
public:
    static constexpr std::int64_t KeepMs = 24LL * 60 * 60 * 1000;

    // Adds a reading; readings older than KeepMs before it are dropped. A time before the last one kept
    // (the clock was set back) is taken as the last one, so the readings stay in order.
    void Add(const Reading& reading);
    // Marks that the readings went stale at `msecsSinceEpoch`; one mark per stale stretch.
    void AddStale(std::int64_t msecsSinceEpoch);

    std::size_t Size() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }
    Reading At(std::size_t index) const;
    std::int64_t TimeAt(std::size_t index) const { return entries_[index].ms; }
    bool IsGap(std::size_t index) const;
    // The index of the first entry at or after `msecsSinceEpoch`; Size() when there is none.
    std::size_t LowerBound(std::int64_t msecsSinceEpoch) const;
    // What the entries take in memory, containers included.
    std::size_t MemoryBytes() const;

private:
#pragma pack(push, 4)
    struct Entry {
        std::int64_t ms;
        std::int16_t raw[ChannelCount];
        std::int16_t shown[ChannelCount];
        std::uint8_t flags[ChannelCount];
    };
#pragma pack(pop)
    static_assert(sizeof(Entry) == 28);

    void Push(const Entry& entry);

    std::deque<Entry> entries_;
};

// A gap mark as a reading: every value NoValue.
bool IsGapReading(const Reading& reading);

} // namespace quellix
