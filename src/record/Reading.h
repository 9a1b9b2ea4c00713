// One measurement reply as it was taken: when, the four raw readings, the four displayed values, and
// the channel flags at that moment (their decimals and disabled marks say how the values read).
#pragma once

#include "ConfigBlock.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

namespace quellix {

struct Reading {
    std::int64_t msecsSinceEpoch = 0; // UTC
    std::array<std::int16_t, ChannelCount> raw{};
    std::array<std::int16_t, ChannelCount> shown{};
    std::array<std::uint8_t, ChannelCount> flags{};

    // A reading as the link tells it (one value per channel, channel 1 first), taken at `msecsSinceEpoch`.
    static Reading fromSpans(std::span<const std::int16_t, ChannelCount> raw,
                             std::span<const std::int16_t, ChannelCount> shown,
                             std::span<const std::uint8_t, ChannelCount> flags,
                             std::int64_t msecsSinceEpoch) {
        Reading r;
        r.msecsSinceEpoch = msecsSinceEpoch;
        std::copy(raw.begin(), raw.end(), r.raw.begin());
        std::copy(shown.begin(), shown.end(), r.shown.begin());
        std::copy(flags.begin(), flags.end(), r.flags.begin());
        return r;
    }
};

} // namespace quellix
