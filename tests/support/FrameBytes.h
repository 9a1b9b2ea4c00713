// Link frames as byte strings, for the tests that play either end of the line.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace quellix {

using Bytes = std::vector<std::uint8_t>;

// 0x01, the letter, the payload length, the payload.
inline Bytes Frame(char letter, const Bytes& payload = {}) {
    // Byte by byte: GCC 12 misjudges the bounds of a range insert after an initializer list.
    Bytes frame;
    frame.reserve(payload.size() + 3);
    frame.push_back(0x01);
    frame.push_back(static_cast<std::uint8_t>(letter));
    frame.push_back(static_cast<std::uint8_t>(payload.size()));
    for (const std::uint8_t byte : payload)
        frame.push_back(byte);
    return frame;
}

// Joins two byte strings (element by element, for the same reason).
inline Bytes operator+(const Bytes& a, const Bytes& b) {
    Bytes joined;
    joined.reserve(a.size() + b.size());
    for (const Bytes* part : {&a, &b})
        for (const std::uint8_t byte : *part)
            joined.push_back(byte);
    return joined;
}

} // namespace quellix
