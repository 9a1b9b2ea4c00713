// One measurement reply as it was taken: when, the four raw readings, the four displayed values, and
// the channel flags at that moment (their decimals and disabled marks say how the values read).
#pragma once

#include "ConfigBlock.h"

#include <array>
#include <cstdint>

namespace quellix {

struct Reading {
    std::int64_t msecsSinceEpoch = 0; // UTC
    std::array<std::int16_t, 4> raw{};
    std::array<std::int16_t, 4> shown{};
    std::array<std::uint8_t, 4> flags{};

    // The readings the block holds now, taken at `msecsSinceEpoch`.
    static Reading FromBlock(const ConfigBlock& block, std::int64_t msecsSinceEpoch) {
        Reading r;
        r.msecsSinceEpoch = msecsSinceEpoch;
        for (std::size_t i = 0; i < 4; ++i) {
            r.raw[i] = block.RawValue[i];
            r.shown[i] = block.MeasuredValue[i];
            r.flags[i] = block.ChannelFlags[i];
        }
        return r;
    }
};

} // namespace quellix
