#include "SimOptions.h"

#include <gtest/gtest.h>

#include <vector>

namespace quellix {

namespace {

std::optional<SimOptions> parse(std::vector<const char*> args) {
    args.insert(args.begin(), "quellix-sim");
    std::string error;
    return ParseSimOptions(static_cast<int>(args.size()), const_cast<char**>(args.data()), error);
}

} // namespace

// "--version TEXT" has always set the unit's version text; alone, or before another option, it asks
// for the program's own version instead.
TEST(SimOptionsTest, VersionTakesTheUnitsTextOrShowsTheProgramsOwn) {
    struct Case {
        std::vector<const char*> args;
        bool showVersion;
        std::string unitVersion;
        bool log;
    };
    const std::string defaultText = SimOptions{}.version;
    const Case cases[] = {
        {{"--version"}, true, defaultText, false},
        {{"--version", "V9.9"}, false, "V9.9", false},
        {{"--version", ""}, false, "", false},
        {{"--version", "--log"}, true, defaultText, true},
        {{"--log", "--version"}, true, defaultText, true},
        {{"--log", "--version", "QX 1", "--mute"}, false, "QX 1", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.size());
        const auto o = parse(c.args);
        ASSERT_TRUE(o.has_value());
        EXPECT_EQ(o->showVersion, c.showVersion);
        EXPECT_EQ(o->version, c.unitVersion);
        EXPECT_EQ(o->log, c.log);
    }
}

} // namespace quellix
