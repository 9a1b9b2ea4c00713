// The text by which a line-error report ("Comm Event: ...") names the error flags of a port.
#pragma once
#include <cstdint>
#include <string>

// Error flags of a line-error word.
namespace CommError {
constexpr std::uint32_t Overrun = 0x02;
constexpr std::uint32_t RxParity = 0x04;
constexpr std::uint32_t Frame = 0x08;
} // namespace CommError

// "Comm Event: " + the names of the flags set in errorWord + ", EvtMask = " + errorWord in decimal.
std::string CommEventText(std::uint32_t errorWord);
