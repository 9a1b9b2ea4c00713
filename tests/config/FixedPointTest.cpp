#include "FixedPoint.h"
#include "ConfigBlock.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <clocale>

namespace quellix {

namespace {

struct FormatCase {
    std::int16_t value;
    std::uint8_t flags;
    const char* text;
};

const FormatCase formatCases[] = {
    {0, 0x00, "          0"}, {5, 0x00, "          5"},  {-5, 0x00, "         -5"}, {42, 0x00, "        42"},
    {1234, 0x00, "    1234"}, {-32767, 0x00, " -32767"}, {0, 0x01, "       0.0"},   {5, 0x01, "       0.5"},
    {-5, 0x01, "      -0.5"}, {100, 0x01, "     10.0"},  {1234, 0x01, "   123.4"},  {-32767, 0x01, "-3276.7"},
    {0, 0x02, "     0.00"},   {-5, 0x02, "    -0.05"},   {1234, 0x02, "   12.34"},  {32767, 0x02, " 327.67"},
    {0, 0x03, "   0.000"},    {1000, 0x03, "   1.000"},  {-1234, 0x03, "  -1.234"}, {32767, 0x03, " 32.767"},
    {1234, 0x04, "    1234"}, {-32768, 0x00, "---"},     {-32768, 0x03, "---"},     {123, 0x41, "  "},
    {-32768, 0x40, "  "},     {-32768, 0x42, "  "},      {1000, 0x02, "   10.00"},
};

struct ParseCase {
    const char* text;
    std::uint8_t d;
    std::int16_t value;
};

const ParseCase parseCases[] = {
    {"12", 0, 12},         {"  12", 0, 12},       {"+7", 0, 7},        {"1e2", 0, 100},
    {"1.5", 1, 15},        {"12.34", 2, 1234},    {"-0.05", 2, -5},    {"7", 3, 7000},
    {"2.5", 0, 2},         {"3.5", 0, 4},         {"-2.5", 0, -2},     {"0.125", 2, 12},
    {"0.375", 2, 38},      {"1.0625", 3, 1062},   {"40000", 0, 32767}, {"3276.8", 1, 32767},
    {"-40000", 0, -32767}, {"-32768", 0, -32767}, {"", 0, NoValue},    {"", 3, NoValue},
    {"12 ", 0, NoValue},   {"1,5", 1, NoValue},   {"---", 0, NoValue}, {"---", 2, NoValue},
    {"  ", 0, NoValue},    {"  ", 3, NoValue},    {"0.575", 2, 57},    {"12.345", 1, 123},
    {"abc", 1, NoValue},   {"12.7", 0, 13},       {"2.54", 1, 25},     {".5", 1, 5},
    {"5.", 0, 5},          {"1E+1", 0, 10},       {"1e-1", 1, 1},      {"1e999", 0, 32767},
    {"-1e999", 2, -32767}, {"1e-999", 0, 0},      {".", 0, 0},         {"E5", 2, 0},
    {"-", 0, NoValue},     {"+", 0, NoValue},     {"e", 0, NoValue},   {"1e", 0, NoValue},
    {"1e+", 0, NoValue},   {"\t1", 0, NoValue},   {"1\t", 0, NoValue}, {"0x10", 0, NoValue},
    {"inf", 0, NoValue},   {"nan", 0, NoValue},   {"--1", 0, NoValue}, {"1.2.3", 0, NoValue},
    {" -12.5", 0, -12},    {"7", 4, 7},           {"1.5", 0x41, 15},
};

} // namespace

TEST(FixedToTextTest, WorkedExamples) {
    for (const auto& c : formatCases) {
        SCOPED_TRACE(testing::Message() << c.value << " flags " << int(c.flags));
        EXPECT_EQ(FixedToText(c.value, c.flags), c.text);
    }
}

TEST(FixedToTextTest, LengthIsTwelveMinusDigitsAndNoTrailingBlank) {
    for (int d = 0; d < 4; ++d) {
        for (int v = -32767; v <= 32767; v += 7) {
            const std::string text = FixedToText(static_cast<std::int16_t>(v), static_cast<std::uint8_t>(d));
            std::size_t digits = 0;
            for (char c : text)
                digits += (c >= '0' && c <= '9');
            ASSERT_EQ(text.size(), 12 - digits) << text;
            ASSERT_NE(text.back(), ' ') << text;
        }
    }
}

TEST(TextToFixedTest, WorkedExamplesAndGrammar) {
    for (const auto& c : parseCases) {
        SCOPED_TRACE(testing::Message() << '"' << c.text << "\" d " << int(c.d));
        EXPECT_EQ(TextToFixed(c.text, c.d), c.value);
    }
}

TEST(TextToFixedTest, RoundTripsEveryValueForEveryDecimalCount) {
    for (std::uint8_t d = 0; d < 4; ++d) {
        for (int v = -32767; v <= 32767; ++v) {
            const auto value = static_cast<std::int16_t>(v);
            ASSERT_EQ(TextToFixed(FixedToText(value, d), d), value) << "d " << int(d);
        }
        EXPECT_EQ(TextToFixed(FixedToText(NoValue, d), d), NoValue);
    }
}

TEST(TextToFixedTest, DisabledTextReadsBackAsNoValue) {
    EXPECT_EQ(TextToFixed(FixedToText(1234, 0x42), 0x42), NoValue);
}

// The decimal separator is "." whatever the locale of the process says.
TEST(TextToFixedTest, IgnoresACommaLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(TextToFixed("1.5", 1), 15);
    EXPECT_EQ(TextToFixed("1,5", 1), NoValue);
    EXPECT_EQ(FixedToText(1234, 2), "   12.34");
    std::setlocale(LC_ALL, saved.c_str());
    QLocale::setDefault(QLocale::c());
}

} // namespace quellix

namespace quellix {

TEST(ExactTextToFixedTest, ReadsOnlyWhatItCanHoldExactly) {
    struct Case {
        const char* text;
        int decimals;
        std::optional<std::int16_t> value;
        ExactTextError error;
    };
    using E = ExactTextError;
    const Case cases[] = {
        {"12", 1, 120, {}},
        {"12.5", 1, 125, {}},
        {"12.50", 1, 125, {}},
        {"-0.05", 2, -5, {}},
        {"-0", 0, 0, {}},
        {"1.000", 0, 1, {}},
        {"007", 0, 7, {}},
        {"3276.7", 1, 32767, {}},
        {"-32767", 0, -32767, {}},
        {"32.767", 3, 32767, {}},
        {"3276.8", 1, std::nullopt, E::OutOfRange},
        {"-32768", 0, std::nullopt, E::OutOfRange},
        {"99999999999999999999999", 0, std::nullopt, E::OutOfRange},
        {"12.34", 1, std::nullopt, E::TooManyDecimals},
        {"0.001", 2, std::nullopt, E::TooManyDecimals},
        {"12.", 1, std::nullopt, E::NotANumber},
        {".5", 1, std::nullopt, E::NotANumber},
        {"+5", 0, std::nullopt, E::NotANumber},
        {"1e2", 0, std::nullopt, E::NotANumber},
        {" 5", 0, std::nullopt, E::NotANumber},
        {"5 ", 0, std::nullopt, E::NotANumber},
        {"1,5", 1, std::nullopt, E::NotANumber},
        {"", 0, std::nullopt, E::NotANumber},
        {"-", 0, std::nullopt, E::NotANumber},
        {"--1", 0, std::nullopt, E::NotANumber},
        {"---", 0, std::nullopt, E::NotANumber},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ExactTextError error{};
        EXPECT_EQ(ExactTextToFixed(c.text, c.decimals, &error), c.value);
        if (!c.value) {
            EXPECT_EQ(error, c.error);
        }
    }
}

TEST(ExactTextToFixedTest, ReadsBackEveryFormattedValue) {
    for (int d = 0; d <= 3; ++d) {
        for (int v = -32767; v <= 32767; ++v) {
            const std::string text = FixedToText(static_cast<std::int16_t>(v), static_cast<std::uint8_t>(d));
            ASSERT_EQ(ExactTextToFixed(text.substr(text.find_first_not_of(' ')), d), v) << text;
        }
    }
}

} // namespace quellix
