#include "FixedPoint.h"

#include "ConfigBlock.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>

namespace quellix {

std::string FixedToText(std::int16_t value, std::uint8_t flags) {
    if (flags & FlagDisabled)
        return "  ";
    const int d = flags & FlagDecimalsMask;
    if (value == NoValue)
        return "---";

    const char sign = value < 0 ? '-' : ' ';
    int m = value < 0 ? -value : value;
    std::string text;
    if (d == 0)
        text += ' ';
    bool started = false;
    for (int p = 4, scale = 10000; p >= 0; --p, scale /= 10) {
        const char digit = static_cast<char>('0' + (m / scale) % 10);
        if (started) {
            text += digit;
        } else if (digit != '0') {
            text += sign;
            text += digit;
            started = true;
        } else if (p == d) {
            text += sign;
            text += '0';
            started = true;
        } else {
            text += "  ";
            continue;
        }
        if (d > 0 && p == d)
            text += '.';
    }
    return text;
}

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Matches  blanks* [+-] digits* [. digits*] [(E|e) [+-] digits+]  over the whole text. On success
// `number` is the text without the leading blanks and `hasMantissaDigit` tells whether a digit
// stands before the exponent.
bool matchNumber(std::string_view text, std::string& number, bool& hasMantissaDigit) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    const std::size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    const std::size_t body = i;
    hasMantissaDigit = false;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        hasMantissaDigit = true;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
            hasMantissaDigit = true;
        }
    }
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        const std::size_t digits = i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        if (i == digits)
            return false;
    }
    if (i != text.size() || i == body)
        return false;
    number.assign(text.substr(start));
    return true;
}

// strtod in the "C" locale, so that "." is the decimal separator whatever the process locale says.
double parseInCLocale(const std::string& number) {
    static const locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", nullptr);
    return strtod_l(number.c_str(), nullptr, cLocale);
}

} // namespace

std::int16_t TextToFixed(std::string_view text, std::uint8_t flags) {
    std::string number;
    bool hasMantissaDigit = false;
    if (!matchNumber(text, number, hasMantissaDigit))
        return NoValue;
    // "." or "E5" has no digit to scale: it reads as 0.
    const double value = hasMantissaDigit ? parseInCLocale(number) : 0.0;
    static constexpr double powers[] = {1.0, 10.0, 100.0, 1000.0};
    double x = value * powers[flags & FlagDecimalsMask];
    if (x > 32767.0)
        x = 32767.0;
    if (x < -32767.0)
        x = -32767.0;
    return static_cast<std::int16_t>(std::nearbyint(x));
}

std::optional<std::int16_t> ExactTextToFixed(std::string_view text, int decimals, ExactTextError* error) {
    auto fail = [error](ExactTextError why) -> std::optional<std::int16_t> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const bool negative = !text.empty() && text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
    auto allDigits = [](std::string_view digits) {
        return !digits.empty() && std::all_of(digits.begin(), digits.end(), isDigit);
    };
    if (!allDigits(whole) || (point != std::string_view::npos && !allDigits(fraction)))
        return fail(ExactTextError::NotANumber);
    const std::size_t kept = std::min<std::size_t>(fraction.size(), std::size_t(decimals));
    if (fraction.find_first_not_of('0', kept) != std::string_view::npos)
        return fail(ExactTextError::TooManyDecimals);

    // Digits are added one by one with the limit checked at each, so no length of text can overflow.
    constexpr long limit = 32767;
    long value = 0;
    auto add = [&value](char digit) {
        value = value * 10 + (digit - '0');
        return value <= limit;
    };
    for (const char c : whole)
        if (!add(c))
            return fail(ExactTextError::OutOfRange);
    for (int i = 0; i < decimals; ++i)
        if (!add(std::size_t(i) < kept ? fraction[std::size_t(i)] : '0'))
            return fail(ExactTextError::OutOfRange);
    return static_cast<std::int16_t>(negative ? -value : value);
}

} // namespace quellix
