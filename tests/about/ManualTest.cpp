// Where the window finds its manual and what it shows it with, on made-up desktops: nothing is started.
#include "Manual.h"
#include "About.h"
#include "TempDir.h"

#include <QDir>
#include <gtest/gtest.h>

namespace quellix {

namespace {

TEST(Manual, IsFoundInTheInstalledTreeOrTheBuildTree) {
    TempDir root;
    QDir(root.path()).mkpath("usr/bin");
    QDir(root.path()).mkpath("usr/share/man/man1");
    QDir(root.path()).mkpath("build/src");
    QDir(root.path()).mkpath("build/man");
    EXPECT_TRUE(FindManualPage(root.file("usr/bin")).path.isEmpty());
    root.write("usr/share/man/man1/quellix.1.gz", "page");
    root.write("build/man/quellix.1.gz", "page");
    const ManualPage installed = FindManualPage(root.file("usr/bin"));
    EXPECT_EQ(installed.path, root.file("usr/share/man/man1/quellix.1.gz"));
    EXPECT_TRUE(installed.installed);
    const ManualPage built = FindManualPage(root.file("build/src"));
    EXPECT_EQ(built.path, root.file("build/man/quellix.1.gz"));
    EXPECT_FALSE(built.installed);
}

struct ViewerCase {
    const char* what;
    ManualPage page;
    QString handler;
    QStringList programs; // on PATH
    QString url;
    QStringList command; // program, then arguments
};

TEST(Manual, TheBestViewerTheDesktopHasShowsIt) {
    const ManualPage installed{"/usr/share/man/man1/quellix.1.gz", true};
    const ManualPage built{"/src/build/man/quellix.1.gz", false};
    const QStringList terminal{"/usr/bin/x-terminal-emulator", "-e", "man", "-l"};
    const ViewerCase cases[] = {
        {"a handler of man: links", installed, "yelp.desktop", {"yelp", "man"}, "man:quellix", {}},
        {"yelp without a handler", installed, "", {"yelp", "man"}, "", {"yelp", "man:quellix"}},
        {"only a terminal",
         installed,
         "",
         {"x-terminal-emulator", "man"},
         "",
         terminal + QStringList{installed.path}},
        {"a built page: no link",
         built,
         "yelp.desktop",
         {"yelp", "x-terminal-emulator", "man"},
         "",
         terminal + QStringList{built.path}},
        {"a terminal without man", installed, "", {"x-terminal-emulator"}, "", {}},
        {"no page", {}, "yelp.desktop", {"yelp", "x-terminal-emulator", "man"}, "", {}},
    };
    for (const ViewerCase& c : cases) {
        SCOPED_TRACE(c.what);
        const HelpDesktop desktop{[&c](const QString& program) {
                                      return c.programs.contains(program) ? "/usr/bin/" + program : QString();
                                  },
                                  c.handler};
        const HelpViewer viewer = ChooseHelpViewer(c.page, desktop);
        EXPECT_EQ(viewer.url, c.url);
        EXPECT_EQ(viewer.program, c.command.value(0));
        EXPECT_EQ(viewer.arguments, c.command.mid(1));
        EXPECT_EQ(viewer.Found(), !c.url.isEmpty() || !c.command.isEmpty());
    }
}

TEST(Manual, WithoutAViewerTheUserIsToldWhereItIs) {
    EXPECT_TRUE(ManualWhereText({"/usr/share/man/man1/quellix.1.gz", true}).contains("\"man quellix\""));
    EXPECT_TRUE(ManualWhereText({"/b/man/quellix.1.gz", false}).contains("\"man -l /b/man/quellix.1.gz\""));
    EXPECT_TRUE(ManualWhereText({}).contains("README.md"));
}

TEST(Manual, AboutNamesVersionLicenceQtAndTheFilesInUse) {
    const QString text =
        AboutText("/home/u/.config/quellix.INI", "/plant/quellix.ini", "/usr/share/man/x.gz");
    for (const QString& part :
         {QString("Quellix Config) ") + ProjectVersion, QString("GPL-3.0-or-later"),
          QString("Qt ") + qVersion(), QString("Form-state file: /home/u/.config/quellix.INI"),
          QString("Autosave file: /plant/quellix.ini"), QString("/usr/share/man/x.gz")})
        EXPECT_TRUE(text.contains(part)) << part.toStdString() << "\n" << text.toStdString();
}

} // namespace

} // namespace quellix
