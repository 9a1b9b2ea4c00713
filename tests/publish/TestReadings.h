// Readings the publisher's tests and their child process make alike: reading number `n` is known to
// both, so what arrives can be checked against what was taken.
#pragma once

#include "Reading.h"

namespace quellix {

constexpr std::int64_t Dec9 = 1796804130123; // 2026-12-09 08:15:30.123 UTC

inline Reading TestReading(std::int64_t n) {
    Reading r;
    r.msecsSinceEpoch = Dec9 + 1000 * n;
    const auto v = static_cast<std::int16_t>(n % 30000);
    r.raw = {v, static_cast<std::int16_t>(v + 1), 7, NoValue};
    r.shown = {static_cast<std::int16_t>(-v), 1234, NoValue, 5};
    r.flags = {1, 2, 0x43, 0};
    return r;
}

} // namespace quellix
