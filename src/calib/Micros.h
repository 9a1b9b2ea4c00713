// Exact decimal quantities of a calibration, in millionths of the channel's unit: a displayed value
// with its 0 to 3 decimals, a reference reading typed with up to six, and the errors and limits made
// of them, compared without binary rounding (25.3 less 25.0 is exactly 0.3, which passes a limit of
// 0.3).
#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

namespace quellix {

using Micros = std::int64_t;

inline constexpr int MicroDecimals = 6;
inline constexpr Micros MicrosPerUnit = 1'000'000;
// Values beyond a billion units are no reading of this unit; the limit keeps every sum far from overflow.
inline constexpr Micros MaxMicros = 1'000'000'000 * MicrosPerUnit;

// A block value with the channel's decimals (flags AND 3), which must not be NoValue.
Micros FixedToMicros(std::int16_t value, std::uint8_t flags);

// A number written out ("-12.5", "+3", "0.000125"; blanks around it are fine) with at most six
// decimals and within +-MaxMicros; nothing otherwise. "." is the decimal point whatever the locale.
std::optional<Micros> TextToMicros(QStringView text);

// The value with at least `minDecimals` decimals and as many more as it needs to be exact: "12.50"
// for 12.5 with 2, "0.125" for 0.125 with 1.
QString MicrosText(Micros value, int minDecimals);

// `percent` of `span` (percent in millionths too), rounded toward zero.
Micros PercentOf(Micros span, Micros percent);

} // namespace quellix
