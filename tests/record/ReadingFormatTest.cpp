// The one line format of a reading: times, values by the channel's flags, the header from tags and
// units, and the JSON form.
#include "ReadingFormat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <clocale>
#include <gtest/gtest.h>
#include <string>

namespace quellix {

namespace {

constexpr std::int64_t Dec9 = 1796804130123; // 2026-12-09 08:15:30.123 UTC

Reading Make(std::array<std::int16_t, 4> raw, std::array<std::int16_t, 4> shown,
             std::array<std::uint8_t, 4> flags, std::int64_t ms = Dec9) {
    Reading r;
    r.msecsSinceEpoch = ms;
    r.raw = raw;
    r.shown = shown;
    r.flags = flags;
    return r;
}

TEST(ReadingTimeText, LocalIsoWithMillisecondsAndOffset) {
    struct Case {
        std::int64_t ms;
        int offsetSeconds;
        const char* text;
    };
    const Case cases[] = {
        {Dec9, 0, "2026-12-09T08:15:30.123+00:00"},
        {Dec9, 3600, "2026-12-09T09:15:30.123+01:00"},
        {Dec9, -(5 * 3600 + 1800), "2026-12-09T02:45:30.123-05:30"},
        {1798761600005, 0, "2027-01-01T00:00:00.005+00:00"},     // milliseconds keep their zeros
        {1798761600005, -3600, "2026-12-31T23:00:00.005-01:00"}, // the day and year go back too
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ReadingTimeText(c.ms, QTimeZone(c.offsetSeconds)).toStdString(), c.text);
    }
}

TEST(CsvLine, ValuesFollowEachChannelsFlagsAtThatMoment) {
    struct Case {
        const char* what;
        Reading reading;
        const char* fields; // everything after the time
    };
    const Case cases[] = {
        {"decimals 0 to 3", Make({16, 32, 48, 64}, {1234, 1234, 1234, 1234}, {0, 1, 2, 3}),
         "16,1234,32,123.4,48,12.34,64,1.234"},
        {"negative values and the digit before the point",
         Make({-1, -32767, 0, 5}, {-5, -5, -32767, -1234}, {1, 2, 0, 3}),
         "-1,-0.5,-32767,-0.05,0,-32767,5,-1.234"},
        {"NoValue is empty, raw and displayed",
         Make({NoValue, 7, NoValue, 9}, {NoValue, NoValue, 3, 4}, {1, 1, 1, 1}), ",,7,,,0.3,9,0.4"},
        {"a disabled channel keeps its raw value only",
         Make({100, 200, 300, 400}, {10, 20, 30, 40}, {0x41, 0x40, 0x42, 0x00}), "100,,200,,300,,400,40"},
        {"only bits 0 and 1 are decimals",
         Make({1, 2, 3, 4}, {1234, 1234, 0, 32767}, {0x04, 0x85, 0x03, 0x02}),
         "1,1234,2,123.4,3,0.000,4,327.67"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(CsvLine(c.reading, QTimeZone(0)).toStdString(),
                  std::string("2026-12-09T08:15:30.123+00:00,") + c.fields + "\n");
    }
}

// Spreadsheets with a comma locale still read what another machine wrote: "." whatever the locale.
TEST(CsvLine, IgnoresACommaLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QByteArray line = CsvLine(Make({1, 2, 3, 4}, {15, 1234, -5, 7}, {1, 2, 2, 0}), QTimeZone(0));
    std::setlocale(LC_ALL, saved.c_str());
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(line.toStdString(), "2026-12-09T08:15:30.123+00:00,1,1.5,2,12.34,3,-0.05,4,7\n");
}

TEST(CsvHeader, NamesColumnsFromTagsAndUnits) {
    ConfigBlock block{};
    block.TagName[0].assign("Boiler Flow");
    block.UnitName[0].assign("m3/h");
    block.TagName[1].assign("Return Temp");
    block.UnitName[1].assign("\xB0"
                             "C"); // Windows-1252 degree sign
    block.TagName[2].assign("Flow, \"main\"");
    block.UnitName[2].assign("");
    block.TagName[3].assign(" ");     // an empty text uploaded travels as a blank
    block.UnitName[3].assign("kg,s"); // the comma quotes the displayed value's column only
    EXPECT_EQ(CsvHeader(ChannelNames::FromBlock(block)).toStdString(),
              "Time,Boiler Flow raw,Boiler Flow (m3/h),Return Temp raw,Return Temp (\u00B0C),"
              "\"Flow, \"\"main\"\" raw\",\"Flow, \"\"main\"\"\",Channel 4 raw,\"Channel 4 (kg,s)\"\n");
    EXPECT_TRUE(IsCsvHeader(CsvHeader(ChannelNames::FromBlock(block))));
    EXPECT_TRUE(IsCsvHeader("\xEF\xBB\xBFTime,a raw,a"));
    EXPECT_FALSE(IsCsvHeader("2026-12-09T08:15:30.123+00:00,1,1.5"));
}

TEST(JsonLine, SameRecordWithNumbersAndNulls) {
    ChannelNames names;
    names.tags = {"Flow", "Temp", "", "Level"};
    names.units = {"m3/h", "\u00B0C", "", "%"};
    const QByteArray line =
        JsonLine(Make({512, NoValue, 300, -7}, {1234, 20, 30, -5}, {2, 1, 0x41, 3}), &names, QTimeZone(3600));
    ASSERT_TRUE(line.endsWith('\n'));
    ASSERT_EQ(line.count('\n'), 1);
    const QJsonObject record = QJsonDocument::fromJson(line).object();
    EXPECT_EQ(record["time"].toString(), "2026-12-09T09:15:30.123+01:00");
    const QJsonArray ch = record["channels"].toArray();
    ASSERT_EQ(ch.size(), 4);
    EXPECT_EQ(ch[0]["channel"].toInt(), 1);
    EXPECT_EQ(ch[0]["raw"].toInt(), 512);
    EXPECT_DOUBLE_EQ(ch[0]["value"].toDouble(), 12.34);
    EXPECT_EQ(ch[0]["decimals"].toInt(), 2);
    EXPECT_EQ(ch[1]["units"].toString(), "\u00B0C");
    EXPECT_TRUE(ch[1]["raw"].isNull());
    EXPECT_DOUBLE_EQ(ch[1]["value"].toDouble(), 2.0);
    EXPECT_TRUE(ch[2]["value"].isNull());
    EXPECT_TRUE(ch[2]["disabled"].toBool());
    EXPECT_EQ(ch[2]["raw"].toInt(), 300);
    EXPECT_DOUBLE_EQ(ch[3]["value"].toDouble(), -0.005);
    EXPECT_FALSE(ch[3].toObject().contains("disabled"));
    EXPECT_FALSE(JsonLine(Make({1, 2, 3, 4}, {1, 2, 3, 4}, {0, 0, 0, 0})).contains("\"tag\""));
}

// As in the CSV line and header: 0.740 stays 0.740, and a blank tag is "Channel 2".
TEST(JsonLine, KeepsDecimalsAndNamesABlankTagAsTheHeaderDoes) {
    ChannelNames names;
    names.tags = {"Flow", "", "", ""};
    const QByteArray line = JsonLine(Make({1, 2, 3, 4}, {740, 1200, -5, 7}, {3, 2, 0, 1}), &names);
    for (const char* part :
         {"\"value\":0.740}", "\"value\":12.00}", "\"value\":-5}", "\"tag\":\"Channel 2\""})
        EXPECT_TRUE(line.contains(part)) << part << " in " << line.toStdString();
    EXPECT_DOUBLE_EQ(QJsonDocument::fromJson(line)["channels"][0]["value"].toDouble(), 0.74);
}

} // namespace

} // namespace quellix
