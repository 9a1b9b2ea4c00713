#include "SimUnit.h"
#include "Readings.h"

#include <gtest/gtest.h>

namespace quellix {

TEST(CalibratedValueTest, StraightLineThroughTheTwoPoints) {
    struct Case {
        ChannelCalibration c;
        std::int16_t raw;
        std::int16_t expected;
    };
    const Case cases[] = {
        {{100, 100, 1000, 1000}, 517, 517}, {{0, 0, 1000, 250}, 2, 1}, // 0.5 rounds away from zero
        {{0, 0, 1000, -250}, 2, -1},                                   // -0.5 rounds away from zero
        {{0, 0, 1, 32767}, 2, 32767},                                  // clamped
        {{0, 0, 1, -32767}, 3, -32767},                                // clamped, never NoValue
        {{5, 1, 5, 2}, 5, NoValue},                                    // equal raw points
        {{NoValue, 0, 10, 10}, 5, NoValue}, {{0, NoValue, 10, 10}, 5, NoValue},
        {{0, 0, NoValue, 10}, 5, NoValue},  {{0, 0, 10, NoValue}, 5, NoValue},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw);
        EXPECT_EQ(CalibratedValue(c.c, c.raw), c.expected);
    }
}

TEST(ReadingsTest, MovingSignalStaysInRangeAndRepeatsWithItsSeed) {
    Readings a(7), b(7);
    for (int step = 0; step < 2000; ++step) {
        for (int i = 0; i < 4; ++i) {
            const std::int16_t raw = a.Raw(i, step * 0.5);
            ASSERT_GE(raw, 0);
            ASSERT_LE(raw, 1023);
            ASSERT_EQ(raw, b.Raw(i, step * 0.5));
        }
    }
}

TEST(RequestAssemblerTest, FramesFromAnyBatches) {
    RequestAssembler a;
    const std::uint8_t bytes[] = {0x7F, 0x01, 's', 0x00, 0x01, 'q', 0x03, 0, 22, 'A', 0x01};
    for (const std::uint8_t b : bytes)
        a.Feed(&b, 1);
    EXPECT_EQ(a.Next(), (Bytes{0x01, 's', 0x00}));
    EXPECT_EQ(a.Next(), (Bytes{0x01, 'q', 0x03, 0, 22, 'A'}));
    EXPECT_EQ(a.Next(), std::nullopt);
    EXPECT_TRUE(a.HasPartial());
    a.DropPartial();
    EXPECT_FALSE(a.HasPartial());
}

} // namespace quellix
