#include "Manual.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace quellix {

namespace {
const QString PageName = QStringLiteral("quellix.1.gz");
constexpr int QueryTimeoutMs = 2000;
} // namespace

ManualPage FindManualPage(const QString& programDir) {
    const QDir dir(programDir);
    const QString installed = dir.filePath(QStringLiteral("../share/man/man1/") + PageName);
    if (QFileInfo(installed).isFile())
        return {QDir::cleanPath(installed), true};
    const QString built = dir.filePath(QStringLiteral("../man/") + PageName);
    if (QFileInfo(built).isFile())
        return {QDir::cleanPath(built), false};
    return {};
}

HelpDesktop SystemHelpDesktop() {
    HelpDesktop desktop;
    desktop.findProgram = [](const QString& program) { return QStandardPaths::findExecutable(program); };
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return desktop;
    QProcess query;
    query.start(xdgMime,
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("x-scheme-handler/man")});
    if (query.waitForFinished(QueryTimeoutMs) && query.exitCode() == 0)
        desktop.manLinkHandler = QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
    else
        query.kill();
    return desktop;
}

HelpViewer ChooseHelpViewer(const ManualPage& page, const HelpDesktop& desktop) {
    if (page.installed && !desktop.manLinkHandler.isEmpty())
        return {QStringLiteral("man:quellix"), {}, {}};
    if (page.installed && !desktop.findProgram(QStringLiteral("yelp")).isEmpty())
        return {{}, QStringLiteral("yelp"), {QStringLiteral("man:quellix")}};
    // Debian's name for the desktop's terminal; every one it names takes -e and a command.
    const QString terminal = desktop.findProgram(QStringLiteral("x-terminal-emulator"));
    if (!page.path.isEmpty() && !terminal.isEmpty() && !desktop.findProgram(QStringLiteral("man")).isEmpty())
        return {{}, terminal, {QStringLiteral("-e"), QStringLiteral("man"), QStringLiteral("-l"), page.path}};
    return {};
}

QString ManualWhereText(const ManualPage& page) {
    if (page.path.isEmpty())
        return QStringLiteral("The manual page quellix(1) is not installed beside this program (it is built "
                              "only where scdoc is installed). README.md in the sources describes the tool.");
    const QString command = page.installed ? QStringLiteral("man quellix") : "man -l " + page.path;
    return QStringLiteral("No help viewer was found. The manual is the page quellix(1), the file %1; "
                          "\"%2\" in a terminal shows it.")
        .arg(page.path, command);
}

} // namespace quellix
