// Where the trend and the Link Monitor open, and the geometry kept for them in the form-state file.
#include "ToolWindowPlace.h"
#include "FormState.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace quellix {

namespace {

struct PlaceCase {
    const char* what;
    QRect main;
    QSize wanted;
    QRect expected;
};

TEST(ToolWindowPlace, OpensBesideTheMainWindowWhereTheScreenHasRoom) {
    const QRect screen(0, 0, 1440, 900);
    const QSize minimum(480, 260);
    const PlaceCase cases[] = {
        {"room on the right", {10, 10, 456, 660}, {600, 400}, {474, 10, 600, 400}},
        {"room on the left only", {900, 30, 456, 660}, {600, 400}, {292, 30, 600, 400}},
        {"narrowed to the room on the right", {10, 10, 456, 660}, {1100, 520}, {474, 10, 966, 520}},
        {"taller than the screen", {10, 400, 456, 500}, {600, 1200}, {474, 0, 600, 900}},
        {"narrowed to the left, which has more room", {500, 10, 456, 660}, {1100, 520}, {0, 10, 492, 520}},
        {"too little room on either side: over its edge",
         {400, 10, 640, 660},
         {1100, 520},
         {960, 10, 480, 520}},
    };
    for (const PlaceCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(PlaceBeside(c.main, c.wanted, minimum, screen), c.expected);
    }
}

TEST(ToolWindowPlace, GeometryIsKeptInItsOwnSectionOfTheFormStateFile) {
    TempDir config;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    config.write("quellix.INI", "[TForm1]\nShowCmd=1\n; mine\n");
    EXPECT_TRUE(ReadToolGeometry("TTrendWindow").isEmpty());
    const QByteArray geometry("\x01\xd9\xd0\xcb\x00\x03 any bytes", 16);
    ASSERT_TRUE(WriteToolGeometry("TTrendWindow", geometry));
    EXPECT_EQ(ReadToolGeometry("TTrendWindow"), geometry);
    EXPECT_TRUE(ReadToolGeometry("TLinkMonitorWindow").isEmpty());
    EXPECT_TRUE(TempDir::read(FormStateFilePath()).startsWith("[TForm1]\nShowCmd=1\n; mine\n"));
    qputenv("XDG_CONFIG_HOME", saved);
}

} // namespace

} // namespace quellix
