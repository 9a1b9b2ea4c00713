// The window's manual, the page quellix(1): where it is beside the program, and what on this desktop
// can show it. QtCore only; starting the viewer is the window's part.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace quellix {

struct ManualPage {
    QString path;           // the page file; empty when none was found
    bool installed = false; // in the manual tree beside the program's bin directory, where man finds it
};

// The page beside the program in `programDir`: <prefix>/share/man/man1/quellix.1.gz for <prefix>/bin,
// or <build>/man/quellix.1.gz for a program in <build>/src.
ManualPage FindManualPage(const QString& programDir);

// What the desktop offers.
struct HelpDesktop {
    std::function<QString(const QString& program)> findProgram; // its path on PATH, or empty
    QString manLinkHandler; // the desktop's handler of man: links, or empty when it has none
};
// This machine's: programs on PATH, and the handler `xdg-mime` names.
HelpDesktop SystemHelpDesktop();

// How to show the page: a link the desktop opens, or a program to start.
struct HelpViewer {
    QString url;
    QString program;
    QStringList arguments;
    bool Found() const { return !url.isEmpty() || !program.isEmpty(); }
};
// Best first: the desktop's man: handler (yelp on GNOME, the help centre on KDE) or yelp itself for an
// installed page, then man in a terminal for any page found; none when nothing can show it.
HelpViewer ChooseHelpViewer(const ManualPage& page, const HelpDesktop& desktop);
// Where the manual is and how to read it, for when nothing can show it.
QString ManualWhereText(const ManualPage& page);

} // namespace quellix
