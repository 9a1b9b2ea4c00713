// Where the trend and the Link Monitor open the first time.
#include "ToolWindowPlace.h"

#include <gtest/gtest.h>

namespace quellix {

namespace {

TEST(ToolWindowPlace, OpensBesideTheMainWindowWhereTheScreenHasRoom) {
    const QRect screen(0, 0, 1440, 900);
    const struct {
        const char* what;
        QRect main;
        QSize wanted;
        QRect expected;
    } cases[] = {
        {"room on the right", {10, 10, 456, 660}, {600, 400}, {474, 10, 600, 400}},
        {"room on the left only", {900, 30, 456, 660}, {600, 400}, {292, 30, 600, 400}},
        {"narrowed to the room on the right", {10, 10, 456, 660}, {1100, 520}, {474, 10, 966, 520}},
        {"narrowed to the left, which has more room", {500, 10, 456, 660}, {1100, 520}, {0, 10, 492, 520}},
        {"too little room on either side: over its edge",
         {400, 10, 640, 660},
         {1100, 520},
         {960, 10, 480, 520}},
        {"taller than the screen", {10, 400, 456, 500}, {600, 1200}, {474, 0, 600, 900}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(PlaceBeside(c.main, c.wanted, {480, 260}, screen), c.expected);
    }
}

} // namespace

} // namespace quellix
