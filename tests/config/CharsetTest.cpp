#include "Charset.h"

#include <gtest/gtest.h>

#include <cstring>

namespace quellix {

TEST(CharsetTest, EveryPrintableByteSurvivesARoundTrip) {
    std::string all;
    for (int b = 0x20; b <= 0xFF; ++b)
        all += static_cast<char>(b);
    const QString text = FromWin1252(all);
    EXPECT_EQ(text.size(), qsizetype(all.size()));
    EXPECT_EQ(ToWin1252(text), all);
}

TEST(CharsetTest, MapsTheWindowsCharacters) {
    struct Case {
        unsigned char byte;
        char16_t unicode;
    };
    const Case cases[] = {{0x80, 0x20AC}, {0x81, 0x0081}, {0x8D, 0x008D}, {0x8F, 0x008F},
                          {0x90, 0x0090}, {0x9D, 0x009D}, {0x96, 0x2013}, {0x9F, 0x0178},
                          {0xA0, 0x00A0}, {0xE9, 0x00E9}, {0x41, 0x0041}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.byte));
        const std::string byte(1, static_cast<char>(c.byte));
        EXPECT_EQ(FromWin1252(byte), QString(QChar(c.unicode)));
        EXPECT_EQ(ToWin1252(QString(QChar(c.unicode))), byte);
    }
}

TEST(CharsetTest, CharactersOutsideTheSetBecomeQuestionMarks) {
    EXPECT_EQ(ToWin1252(QString::fromUtf8("a\u0100b\u0085c")), "a?b?c");
    // A character beyond the 16-bit range is one character, so one "?".
    EXPECT_EQ(ToWin1252(QString::fromUtf8("x\U0001F600y")), "x?y");
}

TEST(CharsetTest, ShortStringTextIsCutInCharacters) {
    ShortString<10> s;
    std::memset(&s, 0, sizeof s);
    TextToShortString(s, QString::fromUtf8("€€€€€€€€€€€€"));
    EXPECT_EQ(s.Length, 10);
    EXPECT_EQ(ShortStringToText(s), QString::fromUtf8("€€€€€€€€€€"));
}

} // namespace quellix

namespace quellix {

TEST(CharsetTest, ExactConversionTakesEveryByteBackAndRefusesTheRest) {
    std::string all;
    for (int b = 0; b <= 0xFF; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(ToWin1252Exact(FromWin1252(all)), all);

    struct Case {
        QString text;
        qsizetype badIndex;
    };
    const Case cases[] = {
        {QString::fromUtf8("ab\u0100"), 2},
        {QString(QChar(0x80)), 0}, // the byte 0x80 is the euro sign, not U+0080
        {QString::fromUtf8("x\U0001F600"), 1},
        {QString(QChar(0xD800)) + "a", 0},
        {QString::fromUtf8("€\u2028"), 1},
    };
    for (const Case& c : cases) {
        qsizetype bad = -1;
        EXPECT_FALSE(ToWin1252Exact(c.text, &bad));
        EXPECT_EQ(bad, c.badIndex);
    }
}

} // namespace quellix
