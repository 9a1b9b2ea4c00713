// The simulated unit's live readings: per channel a slow, smooth, channel-specific raw signal with a
// little noise, or a held value, or a ramp, each with noise of its own on top if asked for (the control
// commands, SimControl.h); and the displayed value on the channel's two-point calibration line.
#pragma once

#include "ConfigBlock.h"

#include <array>
#include <cstdint>
#include <random>

namespace quellix {

// One raw reading per channel, channel 1 first.
using RawReadings = std::array<std::int16_t, ChannelCount>;

inline constexpr int MaxRaw = 1023;

class Readings {
public:
    explicit Readings(std::uint32_t seed);
    // Holds all four raw readings instead of the moving signal.
    void FixRaw(const RawReadings& raw);
    // What channel index 0..3 reads from now on.
    void Hold(int index, std::int16_t raw);
    // From `from` at `startSeconds` in a straight line to `to` after `durationSeconds`, then `to`.
    void Ramp(int index, std::int16_t from, std::int16_t to, double startSeconds, double durationSeconds);
    void Wave(int index);
    // Noise of up to +-amplitude counts on top, 0 for none.
    void SetNoise(int index, int amplitude);
    // Raw reading of channel index 0..3 at `seconds` since start, inside 0..MaxRaw.
    std::int16_t Raw(int index, double seconds);

private:
    struct Source {
        enum class Kind { Wave, Hold, Ramp } kind = Kind::Wave;
        double from = 0;
        double to = 0;
        double start = 0;
        double duration = 0;
        int noise = 0;
    };
    double Signal(int index, double seconds);

    std::mt19937 rng_;
    std::array<Source, ChannelCount> sources_{};
};

// The straight line through (Measured1, Calib1) and (Measured2, Calib2) at `raw`, rounded half away from
// zero and clamped to +-32767; NoValue when the points are equal or a value is missing.
std::int16_t CalibratedValue(const ChannelCalibration& c, std::int16_t raw);

} // namespace quellix
