#include "About.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace quellix {

TEST(AboutTest, VersionTextNamesProgramVersionAndLicence) {
    const std::string text = VersionText("quellix-sim");
    EXPECT_EQ(text.rfind(std::string("quellix-sim (Quellix Config) ") + ProjectVersion + "\n", 0), 0u)
        << text;
    EXPECT_NE(text.find("GPL-3.0-or-later"), std::string::npos);
}

// The window program has no command line: only --help and --version are answered, and anything else,
// Qt's own options included, must start the window as before.
TEST(AboutTest, AnswersOnlyHelpAndVersion) {
    struct Case {
        std::vector<const char*> args;
        std::optional<int> answer;
        std::string output;
    };
    const std::string version = VersionText("quellix");
    const Case cases[] = {
        {{}, std::nullopt, ""},
        {{"--help"}, 0, "usage\n"},
        {{"-h"}, 0, "usage\n"},
        {{"--version"}, 0, version},
        {{"-v"}, 0, version},
        {{"-platform", "offscreen", "--version"}, 0, version},
        {{"-platform", "offscreen"}, std::nullopt, ""},
        {{"-reverse"}, std::nullopt, ""}, // not -r -e -v ...
        {{"--frobnicate", "file.qlx"}, std::nullopt, ""},
        {{"--", "--help"}, std::nullopt, ""},
    };
    for (const auto& c : cases) {
        std::vector<const char*> argv{"quellix"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(argv.size() > 1 ? argv[1] : "(none)");
        std::ostringstream out;
        EXPECT_EQ(AnswerHelpOrVersion(static_cast<int>(argv.size()), argv.data(), "quellix", "usage\n", out),
                  c.answer);
        EXPECT_EQ(out.str(), c.output);
    }
}

} // namespace quellix
