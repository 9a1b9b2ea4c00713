// The text by which a line-error report ("Comm Event: ...") names the error flags of a port. The
// component itself watches no line errors: a report placed among the received bytes, as the text was
// meant for, would corrupt the frames the link reassembles from them.
#pragma once
#include <cstdint>
#include <string>

namespace quellix {

// Error flags of a line-error word.
namespace CommError {
constexpr std::uint32_t Overrun = 0x02;
constexpr std::uint32_t RxParity = 0x04;
constexpr std::uint32_t Frame = 0x08;
} // namespace CommError

// "Comm Event: " + the names of the flags set in errorWord + ", EvtMask = " + errorWord in decimal.
std::string CommEventText(std::uint32_t errorWord);

} // namespace quellix
