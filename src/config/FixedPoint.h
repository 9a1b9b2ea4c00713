// Conversions between the block's 16-bit values and the text of the window's labels. A value with d
// decimal places (d = flags AND 3) stands for value x 10^-d; bit 6 of the flags marks a disabled channel.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quellix {

// Right-aligned text: two blanks per suppressed leading digit, "---" for NoValue, "  " when disabled.
std::string FixedToText(std::int16_t value, std::uint8_t flags);

// Reads a decimal number ("." only, optional exponent), scales it by 10^d, clamps it to +-32767 and
// rounds ties to even. Text that is not such a number gives NoValue.
std::int16_t TextToFixed(std::string_view text, std::uint8_t flags);

enum class ExactTextError { NotANumber, TooManyDecimals, OutOfRange };

// Reads a number written out in full ("-12.5": an optional "-", digits, and an optional "." followed by
// digits) as a value with `decimals` places (0..3), for files that must hold values exactly: nothing is
// rounded or clamped. Fraction digits beyond `decimals` must be zeros, and the value must lie within
// -32767..32767; otherwise nothing is returned and `error` tells why.
std::optional<std::int16_t> ExactTextToFixed(std::string_view text, int decimals,
                                             ExactTextError* error = nullptr);

} // namespace quellix
