#include "About.h"

#include <QCommandLineParser>
#include <QtGlobal>

namespace quellix {

std::string VersionText(std::string_view program) {
    std::string text(program);
    text += " (Quellix Config) ";
    text += ProjectVersion;
    text += "\nCopyright (C) 2026 The Quellix Config developers\n"
            "License GPL-3.0-or-later: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
            "This is free software: you are free to change and redistribute it.\n"
            "There is NO WARRANTY, to the extent permitted by law.\n";
    return text;
}

std::optional<int> AnswerHelpOrVersion(int argc, const char* const* argv, std::string_view program,
                                       std::string_view usage, std::ostream& out) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    // Qt's single-dash options such as -reverse would otherwise read as -r -e -v ..., and -v is ours.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOption(help);
    parser.addOption(version);
    // Unknown options are not an error here: they belong to Qt or are ignored.
    (void)parser.parse(arguments);
    if (parser.isSet(help)) {
        out << usage;
        return 0;
    }
    if (parser.isSet(version)) {
        out << VersionText(program);
        return 0;
    }
    return std::nullopt;
}

QString AboutText(const QString& formStateFile, const QString& autosaveFile, const QString& manual) {
    return QString::fromStdString(VersionText("quellix")) +
           QStringLiteral("\nQt %1 (built with %2)\n\nForm-state file: %3\nAutosave file: %4\nManual: %5")
               .arg(QString::fromLatin1(qVersion()), QStringLiteral(QT_VERSION_STR), formStateFile,
                    autosaveFile, manual);
}

} // namespace quellix
