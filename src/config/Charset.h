// The block's 8-bit characters are Windows-1252, as files from the original Windows tool hold them.
// These convert between such bytes and the window's Unicode text.
#pragma once

#include "ConfigBlock.h"

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace quellix {

// Every byte maps to one character; the five bytes Windows-1252 leaves undefined map to the code
// points of the same value, so every byte survives a round trip.
QString FromWin1252(std::string_view bytes);
// One byte per character; a character Windows-1252 cannot hold becomes "?".
std::string ToWin1252(const QString& text);
// One byte per character, or nothing when a character cannot be held; `badIndex` then tells where it
// starts in `text`. Exactly the texts FromWin1252 can make convert, so such a text survives both ways.
std::optional<std::string> ToWin1252Exact(const QString& text, qsizetype* badIndex = nullptr);

// The control characters below the blank (C0): invisible, and a NUL ends a text on the unit.
inline bool IsC0Control(char32_t c) {
    return c < 0x20;
}
inline bool IsC0Control(char c) {
    return static_cast<unsigned char>(c) < 0x20;
}

template <std::size_t Capacity> QString ShortStringToText(const ShortString<Capacity>& s) {
    return FromWin1252(s.text());
}
// Stores the text cut to the field's capacity (in characters), leaving the rest of the field alone.
template <std::size_t Capacity> void TextToShortString(ShortString<Capacity>& s, const QString& text) {
    s.assign(ToWin1252(text));
}

} // namespace quellix
