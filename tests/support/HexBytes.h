// Bytes written as blank-separated hex pairs ("01 76 00"), as a byte string.
#pragma once
#include <string>
#include <string_view>

namespace quellix {

inline std::string HexBytes(std::string_view hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 3)
        bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    return bytes;
}

} // namespace quellix
