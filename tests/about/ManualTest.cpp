// What shows the window's manual, on made-up desktops: nothing is started.
#include "Manual.h"

#include <gtest/gtest.h>

namespace quellix {

namespace {

TEST(Manual, TheBestViewerTheDesktopHasShowsIt) {
    const ManualPage installed{"/usr/share/man/man1/quellix.1.gz", true};
    const ManualPage built{"/b/man/quellix.1.gz", false};
    const struct {
        const char* what;
        ManualPage page;
        QString handler;
        QStringList programs; // on PATH
        QStringList viewer;   // the link, or the program and its arguments
    } cases[] = {
        {"a handler of man: links", installed, "yelp.desktop", {"yelp", "man"}, {"man:quellix"}},
        {"yelp without a handler", installed, "", {"yelp", "man"}, {"yelp", "man:quellix"}},
        {"a built page: man in a terminal",
         built,
         "yelp.desktop",
         {"yelp", "x-terminal-emulator", "man"},
         {"/bin/x-terminal-emulator", "-e", "man", "-l", built.path}},
        {"a terminal without man", installed, "", {"x-terminal-emulator"}, {}},
        {"no page", {}, "yelp.desktop", {"yelp", "x-terminal-emulator", "man"}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto find = [&c](const QString& p) { return c.programs.contains(p) ? "/bin/" + p : QString(); };
        const HelpViewer viewer = ChooseHelpViewer(c.page, {find, c.handler});
        const QStringList command =
            viewer.program.isEmpty() ? QStringList{} : QStringList{viewer.program} + viewer.arguments;
        EXPECT_EQ(viewer.url.isEmpty() ? command : QStringList{viewer.url}, c.viewer);
    }
}

} // namespace

} // namespace quellix
