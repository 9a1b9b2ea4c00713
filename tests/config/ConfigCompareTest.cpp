#include "ConfigCompare.h"
#include "BlockImages.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

namespace quellix {

namespace {

std::vector<std::string> lines(const std::vector<FieldDifference>& differences) {
    std::vector<std::string> out;
    for (const FieldDifference& d : differences)
        out.push_back((d.field + ": " + d.first + " -> " + d.second).toStdString());
    return out;
}

} // namespace

TEST(ConfigCompareTest, ListsEachDifferingFieldAsTheWindowShowsIt) {
    struct Case {
        const char* name;
        std::function<void(ConfigBlock&)> edit;
        CompareScope scope;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"same", [](ConfigBlock&) {}, CompareScope::Everything, {}},
        {"texts",
         [](ConfigBlock& b) {
             b.Header2.assign("Boiler");
             b.TagName[1].assign("Feed Pump");
             b.UnitName[3].assign("%");
         },
         CompareScope::Shown,
         {"header2: Additional Info -> Boiler", "channel2.tag: Tag 2 -> Feed Pump",
          "channel4.units: unit -> %"}},
        // Channel 1 goes from one decimal place to two: the stored 100 and 1000 now mean 1.00 and 10.00.
        {"decimals",
         [](ConfigBlock& b) { b.ChannelFlags[0] = 2; },
         CompareScope::Shown,
         {"channel1.decimals: 1 -> 2", "channel1.point1.value: 10.0 -> 1.00",
          "channel1.point2.value: 100.0 -> 10.00"}},
        // The same value written with more decimals is still another stored number.
        {"same value, other decimals",
         [](ConfigBlock& b) {
             b.ChannelFlags[0] = 2;
             b.Calibration[0].Calib1 = 1000;
         },
         CompareScope::Shown,
         {"channel1.decimals: 1 -> 2", "channel1.point1.value: 10.0 -> 10.00",
          "channel1.point2.value: 100.0 -> 10.00"}},
        // The window shows blanks for a disabled channel's values; the comparison still shows them.
        {"disabled channel",
         [](ConfigBlock& b) {
             b.ChannelFlags[2] = 0x43;
             b.Calibration[2].Calib2 = 2500;
             b.Calibration[2].Measured1 = NoValue;
         },
         CompareScope::Shown,
         {"channel3.disabled: false -> true", "channel3.point1.raw: 100 -> ---",
          "channel3.point2.value: 1.000 -> 2.500"}},
        {"other flag bits",
         [](ConfigBlock& b) { b.ChannelFlags[3] = 0x80; },
         CompareScope::Shown,
         {"channel4.flags: 0x04 -> 0x80"}},
        {"no value",
         [](ConfigBlock& b) { b.Calibration[1].Calib1 = NoValue; },
         CompareScope::Shown,
         {"channel2.point1.value: 1.00 -> ---"}},
        {"hidden fields are not shown",
         [](ConfigBlock& b) {
             b.Reserved = 7;
             b.RawValue[0] = 12;
             b.ReservedB[3] = 0;
             b.Header1.Chars[19] = 'x';
         },
         CompareScope::Shown,
         {}},
        {"hidden fields",
         [](ConfigBlock& b) {
             b.Reserved = 7;
             b.RawValue[0] = 12;
             b.MeasuredValue[0] = 125;
             b.ReservedB[3] = 0;
             b.Header1.Chars[19] = 'x';
             b.UnitName[1].assign("abcdefghij");
             b.UnitName[1].Length = 200;
         },
         CompareScope::Everything,
         {"channel2.units: unit -> abcdefghij", "hidden.reserved: 0 -> 7",
          "hidden.header1.after: 00 00 00 00 00 00 00 00 00 -> 00 00 00 00 00 00 00 00 78",
          "hidden.channel1.lastReading.raw: --- -> 12", "hidden.channel1.lastReading.value: --- -> 12.5",
          "hidden.channel2.units.length: 4 -> 200", "hidden.channel2.units.after: 00 00 00 00 00 00 -> ",
          "hidden.channel4.reservedB: 1024 -> 0"}},
        // What the unit holds: an empty text matches the single blank the window sends instead.
        {"unit: empty and blank",
         [](ConfigBlock& b) {
             b.TagName[0].assign(" ");
             b.UnitName[0].assign("");
             b.RawValue[2] = 5;
         },
         CompareScope::UnitHeld,
         {"channel1.tag: Tag 1 ->  ", "channel1.units: unit ->  "}},
        {"unit: texts and calibration",
         [](ConfigBlock& b) {
             b.Header1.assign("");
             b.Calibration[3].Measured2 = 999;
         },
         CompareScope::UnitHeld,
         {"header1: Header Data ->  ", "channel4.point2.raw: 1000 -> 999"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ConfigBlock first = DefaultBlock();
        ConfigBlock second = first;
        c.edit(second);
        EXPECT_EQ(lines(CompareConfigs(first, second, c.scope)), c.expected);
    }
}

TEST(ConfigCompareTest, EverythingDiffersExactlyWhenTheImagesDo) {
    std::mt19937 rng(77);
    for (int run = 0; run < 40; ++run) {
        ConfigBlock block;
        for (std::size_t i = 0; i < ConfigBlockSize; ++i)
            BlockBytes(block)[i] = static_cast<std::uint8_t>(rng());
        ASSERT_TRUE(CompareConfigs(block, block, CompareScope::Everything).empty());
        for (std::size_t offset = 0; offset < ConfigBlockSize; ++offset) {
            ConfigBlock changed = block;
            BlockBytes(changed)[offset] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
            EXPECT_FALSE(CompareConfigs(block, changed, CompareScope::Everything).empty())
                << "offset " << offset;
        }
    }
}

} // namespace quellix

namespace quellix {

// On random pairs: taking one differing field from the second block ends that difference (a required
// value's only once its channel's decimals are taken too) and starts no other; taking them all leaves
// nothing the window shows different.
TEST(ConfigCompareTest, CopiedFieldsNoLongerDiffer) {
    std::mt19937 rng(78);
    const auto randomBlock = [&rng] {
        ConfigBlock block;
        for (std::size_t i = 0; i < ConfigBlockSize; ++i)
            BlockBytes(block)[i] = static_cast<std::uint8_t>(rng());
        return block;
    };
    for (int run = 0; run < 40; ++run) {
        const ConfigBlock first = randomBlock();
        const ConfigBlock second = randomBlock();
        const auto before = CompareConfigs(first, second, CompareScope::Shown);
        QStringList fields;
        for (const FieldDifference& d : before)
            fields << d.field;
        ConfigBlock all = first;
        for (const FieldDifference& d : before) {
            SCOPED_TRACE(d.field.toStdString());
            ConfigBlock one = first;
            ASSERT_TRUE(CopyComparedField(d.field, second, one));
            const QString decimals = d.field.section(u'.', 0, 0) + QStringLiteral(".decimals");
            const bool scaled = d.field.endsWith(QLatin1String(".value")) && fields.contains(decimals);
            for (const FieldDifference& left : CompareConfigs(one, second, CompareScope::Shown)) {
                EXPECT_TRUE(scaled || left.field != d.field);
                EXPECT_TRUE(fields.contains(left.field)) << left.field.toStdString();
            }
            ASSERT_TRUE(CopyComparedField(d.field, second, all));
        }
        EXPECT_TRUE(CompareConfigs(all, second, CompareScope::Shown).empty());
    }
}

TEST(ConfigCompareTest, CopyRefusesFieldsItDoesNotKnow) {
    const ConfigBlock from{};
    const ConfigBlock to = DefaultBlock();
    for (const char* field : {"", "hidden.reserved", "channel0.tag", "channel5.tag", "channel1", "channel1.",
                              "channel1.point3.raw", "channel12.tag", "header3"}) {
        ConfigBlock copy = to;
        EXPECT_FALSE(CopyComparedField(QString::fromLatin1(field), from, copy)) << field;
        EXPECT_EQ(std::memcmp(&copy, &to, sizeof to), 0) << field;
    }
}

} // namespace quellix
