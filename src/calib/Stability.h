// Whether a channel's reading has settled, for capturing a calibration or test point: the spread (the
// highest less the lowest) of the last N readings lies within a limit, and all N were taken after a
// settling time that starts when the input is changed. A missing reading (NoValue: the link's readings
// went stale) or a gap longer than expected between two readings starts the window afresh; a disabled
// channel has no displayed value and never settles. Plain C++, constant time and no allocation per
// reading.
#pragma once

#include <cstdint>
#include <vector>

namespace quellix {

struct StabilitySettings {
    static constexpr int MaxReadings = 1000;
    int readings = 5; // N, the window: 2..MaxReadings
    // The largest spread taken as settled, in the value's own steps: raw counts, or units of 10^-d of a
    // displayed value with d decimals.
    std::int32_t limit = 2;
    std::int64_t settlingMs = 3000; // readings taken before it has passed do not count
    // A longer wait between two readings means some went missing: the window starts afresh. The link
    // reads once a second.
    std::int64_t maxGapMs = 2500;
};

enum class StabilityPhase {
    Settling,   // the settling time has not passed yet
    Collecting, // fewer than N readings since it passed, or since the window last started afresh
    Unsteady,   // N readings, but their spread is beyond the limit
    Stable,
    Stale,    // the last reading was missing, or the next one is overdue
    Disabled, // the channel shows no displayed value
};

// What a wizard shows while it waits.
struct StabilityState {
    StabilityPhase phase = StabilityPhase::Settling;
    std::int64_t settlingLeftMs = 0; // the countdown; 0 once the settling time has passed
    int counted = 0;                 // readings in the window taken after the settling time, up to N
    int needed = 0;                  // N
    // The live spread of the last readings (up to N, those of the settling time included); -1 without
    // any reading.
    std::int32_t spread = -1;
    std::int16_t last = 0; // the last reading, NoValue when it was missing
    double mean = 0;       // of the readings the spread is taken over
    bool stable() const { return phase == StabilityPhase::Stable; }
};

class StabilityDetector {
public:
    // Settings out of range are brought into it.
    explicit StabilityDetector(const StabilitySettings& settings = {});

    const StabilitySettings& Settings() const { return settings_; }
    // Starts waiting anew at `nowMs`, the time on the caller's steady clock: the input was changed.
    void Restart(std::int64_t nowMs);
    void SetDisabled(bool disabled);
    // One reading, taken at `atMs` (NoValue: missing). Feed each reading once, as it arrives.
    const StabilityState& Add(std::int16_t value, std::int64_t atMs);
    // The state at `nowMs` without a new reading: the countdown moves on, and an overdue reading makes
    // it stale.
    StabilityState At(std::int64_t nowMs) const;

private:
    // Indices of the window's readings whose values fall (for the highest) or rise (for the lowest),
    // so that the front is always the window's extreme.
    class Extremes {
    public:
        void Reset(std::size_t capacity);
        void Clear() { head_ = size_ = 0; }
        template <typename Keeps> void Push(std::int64_t index, std::int16_t value, Keeps keeps);
        void Expire(std::int64_t oldestKept);
        std::int16_t Front() const { return values_[head_]; }

    private:
        std::size_t At(std::size_t i) const { return (head_ + i) % indices_.size(); }
        std::vector<std::int64_t> indices_;
        std::vector<std::int16_t> values_;
        std::size_t head_ = 0;
        std::size_t size_ = 0;
    };

    void ClearWindow();
    StabilityPhase PhaseAt(std::int64_t nowMs) const;

    StabilitySettings settings_;
    std::vector<std::int16_t> window_; // the last N readings, a ring indexed by count_ % N
    std::int64_t count_ = 0;           // readings in the window since it last started afresh
    std::int64_t sum_ = 0;             // of the readings in the window
    std::int64_t settledAtMs_ = 0;     // when the settling time ends
    std::int64_t lastAtMs_ = 0;
    bool haveReading_ = false;
    bool missing_ = false;
    bool disabled_ = false;
    Extremes highest_, lowest_;
    StabilityState state_;
};

} // namespace quellix
