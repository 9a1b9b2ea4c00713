#include "Readings.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quellix {

Readings::Readings(std::uint32_t seed) : rng_(seed) {}

void Readings::FixRaw(const RawReadings& raw) {
    for (int i = 0; i < ChannelCount; ++i)
        Hold(i, raw[static_cast<std::size_t>(i)]);
}

void Readings::Hold(int index, std::int16_t raw) {
    Source& s = sources_[static_cast<std::size_t>(index)];
    s.kind = Source::Kind::Hold;
    s.to = raw;
}

void Readings::Ramp(int index, std::int16_t from, std::int16_t to, double startSeconds,
                    double durationSeconds) {
    Source& s = sources_[static_cast<std::size_t>(index)];
    s = {Source::Kind::Ramp, double(from), double(to), startSeconds, durationSeconds, s.noise};
}

void Readings::Wave(int index) {
    sources_[static_cast<std::size_t>(index)].kind = Source::Kind::Wave;
}

void Readings::SetNoise(int index, int amplitude) {
    sources_[static_cast<std::size_t>(index)].noise = amplitude;
}

double Readings::Signal(int index, double seconds) {
    const Source& s = sources_[static_cast<std::size_t>(index)];
    switch (s.kind) {
    case Source::Kind::Hold:
        return s.to;
    case Source::Kind::Ramp: {
        const double done = s.duration > 0 ? std::clamp((seconds - s.start) / s.duration, 0.0, 1.0) : 1.0;
        return s.from + (s.to - s.from) * done;
    }
    case Source::Kind::Wave:
        break;
    }
    // Each channel has its own period and level, so the four move visibly apart.
    static constexpr double periods[] = {37.0, 53.0, 71.0, 97.0};
    static constexpr double levels[] = {300.0, 450.0, 600.0, 750.0};
    const double wave = 200.0 * std::sin(2.0 * std::numbers::pi * seconds / periods[index] + index);
    std::uniform_real_distribution<double> wobble(-2.0, 2.0);
    return levels[index] + wave + wobble(rng_);
}

std::int16_t Readings::Raw(int index, double seconds) {
    double value = Signal(index, seconds);
    if (const int noise = sources_[static_cast<std::size_t>(index)].noise; noise > 0)
        value += std::uniform_int_distribution<int>(-noise, noise)(rng_);
    return static_cast<std::int16_t>(std::clamp(std::lround(value), 0L, long(MaxRaw)));
}

std::int16_t CalibratedValue(const ChannelCalibration& c, std::int16_t raw) {
    if (c.Measured1 == NoValue || c.Calib1 == NoValue || c.Measured2 == NoValue || c.Calib2 == NoValue ||
        c.Measured1 == c.Measured2)
        return NoValue;
    const double slope = double(c.Calib2 - c.Calib1) / double(c.Measured2 - c.Measured1);
    const double value = c.Calib1 + slope * (double(raw) - c.Measured1);
    const double clamped = std::clamp(value, -32767.0, 32767.0);
    return static_cast<std::int16_t>(std::round(clamped));
}

} // namespace quellix
