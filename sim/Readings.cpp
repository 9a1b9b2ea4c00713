#include "Readings.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quellix {

Readings::Readings(std::uint32_t seed) : rng_(seed) {}

std::int16_t Readings::Raw(int index, double seconds) {
    if (fixed_)
        return (*fixed_)[static_cast<std::size_t>(index)];
    // Each channel has its own period and level, so the four move visibly apart.
    static constexpr double periods[] = {37.0, 53.0, 71.0, 97.0};
    static constexpr double levels[] = {300.0, 450.0, 600.0, 750.0};
    const double wave = 200.0 * std::sin(2.0 * std::numbers::pi * seconds / periods[index] + index);
    std::uniform_real_distribution<double> noise(-2.0, 2.0);
    const double value = levels[index] + wave + noise(rng_);
    return static_cast<std::int16_t>(std::clamp(std::lround(value), 0L, 1023L));
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
