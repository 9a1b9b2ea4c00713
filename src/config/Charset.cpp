#include "Charset.h"

#include <QList>
#include <QStringView>
#include <algorithm>
#include <array>

namespace quellix {

namespace {

// Code points of the bytes 0x80..0x9F; the undefined five keep their own value.
constexpr std::array<char16_t, 32> HighControlBlock = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::optional<char> exactByte(char32_t cp) {
    const auto it = std::find(HighControlBlock.begin(), HighControlBlock.end(), cp);
    if (it != HighControlBlock.end())
        return static_cast<char>(0x80 + (it - HighControlBlock.begin()));
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<char>(cp);
    return std::nullopt;
}

char toByte(char32_t cp) {
    return exactByte(cp).value_or('?');
}

} // namespace

QString FromWin1252(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text += QChar(b >= 0x80 && b <= 0x9F ? HighControlBlock[b - 0x80] : char16_t(b));
    }
    return text;
}

std::string ToWin1252(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (const char32_t cp : QStringView(text).toUcs4())
        bytes += toByte(cp);
    return bytes;
}

std::optional<std::string> ToWin1252Exact(const QString& text, qsizetype* badIndex) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    // Walked by UTF-16 unit: a surrogate, paired or not, is never a Windows-1252 character.
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        const std::optional<char> byte = QChar::isSurrogate(unit) ? std::nullopt : exactByte(char32_t(unit));
        if (!byte) {
            if (badIndex)
                *badIndex = i;
            return std::nullopt;
        }
        bytes += *byte;
    }
    return bytes;
}

} // namespace quellix
