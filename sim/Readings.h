// The simulated unit's live readings: a slow, smooth, channel-specific raw signal with a little noise,
// and the displayed value on the channel's two-point calibration line.
#pragma once

#include "ConfigBlock.h"

#include <array>
#include <cstdint>
#include <optional>
#include <random>

namespace quellix {

// One raw reading per channel, channel 1 first.
using RawReadings = std::array<std::int16_t, ChannelCount>;

class Readings {
public:
    explicit Readings(std::uint32_t seed);
    // Fixes the four raw readings instead of the moving signal.
    void FixRaw(const RawReadings& raw) { fixed_ = raw; }
    // Raw reading of channel index 0..3 at `seconds` since start, inside 0..1023.
    std::int16_t Raw(int index, double seconds);

private:
    std::mt19937 rng_;
    std::optional<RawReadings> fixed_;
};

// The straight line through (Measured1, Calib1) and (Measured2, Calib2) at `raw`, rounded half away from
// zero and clamped to +-32767; NoValue when the points are equal or a value is missing.
std::int16_t CalibratedValue(const ChannelCalibration& c, std::int16_t raw);

} // namespace quellix
