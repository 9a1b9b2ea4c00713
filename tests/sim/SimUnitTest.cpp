#include "SimUnit.h"
#include "Readings.h"
#include "SimControl.h"

#include <gtest/gtest.h>

#include <set>

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

// Each command line at 10 s, then channel 1 and 2's raw readings at 15 s (channel 2 noise-free: it is
// held at 400 first).
TEST(ControlTest, CommandsChangeTheRawInputs) {
    struct Case {
        const char* line;
        const char* refusal; // part of the reason, or empty when carried out
        int raw1;            // -1: not looked at
        int raw2;
    };
    const Case cases[] = {
        {"raw 1 512", "", 512, 400},
        {"  raw all 7  ", "", 7, 7},
        {"ramp 1 300 700 10s", "", 500, 400},
        {"ramp 2 1000 0 5000ms", "", -1, 0},
        {"ramp 1 0 600 1m", "", 50, 400},
        {"ramp 1 100 200 0", "", 200, 400},
        {"# a comment", "", -1, 400},
        {"", "", -1, 400},
        {"raw 5 1", "channel must be 1 to 4", -1, 400},
        {"raw 1 1024", "usage: raw", -1, 400},
        {"ramp 1 0 10 soon", "usage: ramp", -1, 400},
        {"noise 1 x", "usage: noise", -1, 400},
        {"mute maybe", "usage: mute", -1, 400},
        {"jump 1 2", "unknown command \"jump\"", -1, 400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Readings readings(1);
        readings.Hold(1, 400);
        ControlState state;
        const std::string why = ApplyControl(c.line, readings, state, 10.0);
        EXPECT_EQ(why.empty(), *c.refusal == 0) << why;
        EXPECT_NE(why.find(c.refusal), std::string::npos) << why;
        if (c.raw1 >= 0) {
            EXPECT_EQ(readings.Raw(0, 15.0), c.raw1);
        }
        EXPECT_EQ(readings.Raw(1, 15.0), c.raw2);
    }

    Readings readings(1);
    ControlState state;
    EXPECT_EQ(ApplyControl("raw 3 500", readings, state, 0), "");
    EXPECT_EQ(ApplyControl("noise 3 5", readings, state, 0), "");
    std::set<int> seen;
    for (int i = 0; i < 200; ++i)
        seen.insert(readings.Raw(2, i));
    EXPECT_EQ(*seen.begin(), 495);
    EXPECT_EQ(*seen.rbegin(), 505);
    EXPECT_EQ(ApplyControl("mute on", readings, state, 0), "");
    EXPECT_TRUE(state.muted);
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
