#include "Frames.h"
#include "FakeHost.h"

#include <gtest/gtest.h>

#include <array>

namespace quellix {

namespace {

ConfigBlock calibrated() {
    ConfigBlock block = DefaultBlock();
    block.Calibration[0] = {1, -1, 0x1234, NoValue};
    block.Calibration[3] = {32767, 0, 256, -2};
    return block;
}

struct FrameCase {
    const char* name;
    FrameBytes built;
    std::string hex;
};

const std::string twentyAs = Repeat("41", 20);

const FrameCase frameCases[] = {
    {"long measurement request", BuildParamRequest('x', 7, 1), "01 78 0A 07 01 00 00 00 00 00 00 00 00"},
    {"short measurement request", BuildCommand('x'), "01 78 00"},
    {"version request", BuildCommand('v'), "01 76 00"},
    {"calibration request", BuildCommand('c'), "01 63 00"},
    {"store command", BuildCommand('s'), "01 73 00"},
    {"item request header 1", BuildParamRequest('p', 0, CodeByte(ItemCode::Header1)),
     "01 70 0A 00 14 00 00 00 00 00 00 00 00"},
    {"item request units 4", BuildParamRequest('p', 3, CodeByte(ItemCode::UnitName)),
     "01 70 0A 03 17 00 00 00 00 00 00 00 00"},
    {"item request flags", BuildParamRequest('p', FlagsItemIndex, CodeByte(ItemCode::Flags)),
     "01 70 0A 07 18 00 00 00 00 00 00 00 00"},
    {"words low byte first", BuildParamRequest('p', 1, 2, 0x1234, -1, NoValue, 5),
     "01 70 0A 01 02 34 12 FF FF 00 80 05 00"},
    {"empty text sent as one blank", BuildTextItem("", 0, ItemCode::TagName), "01 71 03 00 16 20"},
    {"units text", BuildTextItem("ABC", 2, ItemCode::UnitName), "01 71 05 02 17 41 42 43"},
    {"20-byte text fills the area", BuildTextItem(std::string(20, 'A'), 1, ItemCode::TagName),
     "01 71 16 01 16 " + twentyAs},
    {"longer text cut to 20", BuildTextItem(std::string(25, 'A'), 1, ItemCode::TagName),
     "01 71 16 01 16 " + twentyAs},
    {"8-bit text bytes as they are", BuildTextItem("\xE9\x80", 0, ItemCode::Header2), "01 71 04 00 15 E9 80"},
    {"calibration write", BuildCalibrationWrite(calibrated()),
     "01 62 20 01 00 FF FF 34 12 00 80 " + Repeat("64 00 64 00 E8 03 E8 03", 2) + " FF 7F 00 00 00 01 FE FF"},
    {"item reply", BuildItemFrame('P', 2, CodeByte(ItemCode::TagName), "ABC"), "01 50 05 02 16 41 42 43"},
    {"measurement reply",
     BuildValuesFrame('X', std::array<std::int16_t, 8>{16, 32, 48, 64, -1, -2, NoValue, 1}),
     "01 58 10 10 00 20 00 30 00 40 00 FF FF FE FF 00 80 01 00"},
    {"acknowledgement", BuildCommand('Q'), "01 51 00"},
};

TEST(FramesTest, EveryFrameByteForByte) {
    for (const auto& c : frameCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HexOf(c.built), c.hex);
    }
}

TEST(FramesTest, FlagsItemCarriesZeroBytes) {
    ConfigBlock block{};
    const std::uint8_t flags[] = {0x00, 0x41, 0x02, 0x00};
    std::copy(std::begin(flags), std::end(flags), block.ChannelFlags);
    EXPECT_EQ(HexOf(BuildFlagsItem(block)), "01 71 06 07 18 00 41 02 00");
    std::fill(std::begin(block.ChannelFlags), std::end(block.ChannelFlags), 0);
    EXPECT_EQ(HexOf(BuildFlagsItem(block)), "01 71 06 07 18 00 00 00 00");
}

TEST(FramesTest, PayloadLongerThanTheLengthByteIsCut) {
    const FrameBytes frame = BuildFrame('V', std::string(300, 'a'));
    ASSERT_EQ(frame.size(), 258u);
    EXPECT_EQ(frame[2], 255);
}

TEST(FramesTest, BytesToText) {
    const struct {
        const char* source;
        int count;
        std::string text;
    } cases[] = {
        {"41 42 00 43", 4, "AB"}, {"41 42 00 43", 1, "A"}, {"41 42 00 43", 0, ""},   {"41 42", -3, ""},
        {"00 41", 2, ""},         {"41 42", 10, "AB"},     {"E9 FF", 2, "\xE9\xFF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.source) + " / " + std::to_string(c.count));
        EXPECT_EQ(BytesToText(Batch(c.source), c.count), c.text);
    }
}

TEST(FramesTest, FrameViewNeverReadsPastTheBytes) {
    const std::string claimsMore = Batch("01 58 10 34 12");
    const FrameView view(claimsMore);
    EXPECT_EQ(view.length(), 16u);
    EXPECT_EQ(view.payload().size(), 2u);
    EXPECT_EQ(view.int16At(0), 0x1234);
    EXPECT_EQ(view.int16At(1), NoValue);
    EXPECT_EQ(FrameView(Batch("01")).payload().size(), 0u);
}

} // namespace

} // namespace quellix
