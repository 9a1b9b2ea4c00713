#include "ConfigBlock.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace quellix {

namespace {

ConfigBlock filledWith(std::uint8_t byte) {
    ConfigBlock block;
    std::memset(BlockBytes(block), byte, ConfigBlockSize);
    return block;
}

std::string bytesAt(const ConfigBlock& block, std::size_t offset, std::size_t count) {
    return std::string(reinterpret_cast<const char*>(BlockBytes(block)) + offset, count);
}

} // namespace

TEST(ShortStringTest, StoresLengthAndCharactersOnly) {
    ConfigBlock block = filledWith('#');
    block.Header1.assign("abc");
    EXPECT_EQ(bytesAt(block, 4, 21), std::string("\x03"
                                                 "abc") +
                                         std::string(17, '#'));
    EXPECT_EQ(block.Header1.text(), "abc");
}

TEST(ShortStringTest, CutsLongerTextToCapacity) {
    ConfigBlock block = filledWith(0);
    block.TagName[0].assign("ABCDEFGHIJKLMNOPQRSTUVWXY"); // 25 characters
    block.UnitName[0].assign("123456789012");
    EXPECT_EQ(block.TagName[0].text(), "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(block.UnitName[0].text(), "1234567890");
    EXPECT_EQ(bytesAt(block, 130 + 11, 1), std::string(1, '\0')) << "units of channel 2 untouched";
}

TEST(ShortStringTest, LengthAboveCapacityReadsAsCapacity) {
    ConfigBlock block = filledWith('z');
    block.UnitName[3].Length = 200;
    EXPECT_EQ(block.UnitName[3].text(), std::string(10, 'z'));
    block.Header2.Length = 21;
    EXPECT_EQ(block.Header2.text().size(), 20u);
}

TEST(SetBlockDefaultsTest, SetsEveryFieldAsDesigned) {
    ConfigBlock block = filledWith(0xAA);
    SetBlockDefaults(block);
    EXPECT_EQ(block.Reserved, 0u);
    EXPECT_EQ(block.Header1.text(), "Header Data");
    EXPECT_EQ(block.Header2.text(), "Additional Info");
    for (int n = 1; n <= 4; ++n) {
        SCOPED_TRACE(n);
        const int i = n - 1;
        EXPECT_EQ(block.TagName[i].text(), "Tag " + std::to_string(n));
        EXPECT_EQ(block.UnitName[i].text(), "unit");
        EXPECT_EQ(block.ChannelFlags[i], n);
        EXPECT_EQ(block.RawValue[i], NoValue);
        EXPECT_EQ(block.MeasuredValue[i], NoValue);
        EXPECT_EQ(block.ReservedA[i], 0);
        EXPECT_EQ(block.ReservedB[i], 1024);
        EXPECT_EQ(block.Calibration[i].Measured1, 100);
        EXPECT_EQ(block.Calibration[i].Calib1, 100);
        EXPECT_EQ(block.Calibration[i].Measured2, 1000);
        EXPECT_EQ(block.Calibration[i].Calib2, 1000);
    }
    EXPECT_EQ(bytesAt(block, 174, 4), std::string("\x01\x02\x03\x04", 4));
}

TEST(SetBlockDefaultsTest, KeepsBytesAfterEachShortStringText) {
    ConfigBlock block = filledWith(0);
    block.Header1.assign("ABCDEFGHIJKLMNOPQRST"); // 20 characters at offsets 5..24
    SetBlockDefaults(block);
    EXPECT_EQ(block.Header1.text(), "Header Data");
    // Offsets 16 to 24 still hold the old characters 12 to 20.
    EXPECT_EQ(bytesAt(block, 16, 9), "LMNOPQRST");
}

TEST(SetBlockDefaultsTest, TouchesNoByteOutsideTheValues) {
    ConfigBlock a = filledWith(0x11);
    ConfigBlock b = filledWith(0xEE);
    SetBlockDefaults(a);
    SetBlockDefaults(b);
    // Bytes that differ are exactly those after each short string's text.
    for (std::size_t offset = 0; offset < ConfigBlockSize; ++offset) {
        const bool same = BlockBytes(a)[offset] == BlockBytes(b)[offset];
        const bool inStringTail = (offset >= 4 + 1 + 11 && offset < 25) ||
                                  (offset >= 25 + 1 + 15 && offset < 46) ||
                                  (offset >= 46 && offset < 130 && (offset - 46) % 21 >= 6) ||
                                  (offset >= 130 && offset < 174 && (offset - 130) % 11 >= 5);
        EXPECT_EQ(same, !inStringTail) << "offset " << offset;
    }
}

} // namespace quellix
