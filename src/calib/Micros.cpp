#include "Micros.h"

#include "ConfigBlock.h"

#include <cstdlib>

namespace quellix {

namespace {

constexpr Micros PowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000};

} // namespace

Micros FixedToMicros(std::int16_t value, std::uint8_t flags) {
    return Micros(value) * PowersOfTen[MicroDecimals - (flags & FlagDecimalsMask)];
}

std::optional<Micros> TextToMicros(QStringView text) {
    text = text.trimmed();
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text = text.mid(1);
    }
    Micros whole = 0, fraction = 0;
    int wholeDigits = 0, fractionDigits = 0;
    bool point = false;
    for (const QChar c : text) {
        if (c == u'.' && !point) {
            point = true;
            continue;
        }
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c.unicode() - u'0';
        if (point) {
            if (++fractionDigits > MicroDecimals)
                return std::nullopt;
            fraction = fraction * 10 + digit;
        } else {
            whole = whole * 10 + digit;
            if (++wholeDigits > 10)
                return std::nullopt;
        }
    }
    if (wholeDigits == 0 && fractionDigits == 0)
        return std::nullopt;
    const Micros value = whole * MicrosPerUnit + fraction * PowersOfTen[MicroDecimals - fractionDigits];
    if (value > MaxMicros)
        return std::nullopt;
    return negative ? -value : value;
}

QString MicrosText(Micros value, int minDecimals) {
    const Micros magnitude = std::llabs(value);
    QString fraction = QString::number(magnitude % MicrosPerUnit).rightJustified(MicroDecimals, u'0');
    while (fraction.size() > minDecimals && fraction.endsWith(u'0'))
        fraction.chop(1);
    QString text = value < 0 ? QStringLiteral("-") : QString();
    text += QString::number(magnitude / MicrosPerUnit);
    if (!fraction.isEmpty())
        text += u'.' + fraction;
    return text;
}

Micros PercentOf(Micros span, Micros percent) {
    // 128 bits: a span of 6.5e10 millionths times 1e8 for 100 % does not fit in 64.
    __extension__ typedef __int128 Wide;
    return static_cast<Micros>(Wide(span) * percent / (Wide(100) * MicrosPerUnit));
}

} // namespace quellix
