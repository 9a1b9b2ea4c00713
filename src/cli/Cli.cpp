// Command-line parsing and the help texts. Options before the command word are the global ones; the
// command's own parser takes its options and the global ones again, in any place after it.
#include "Cli.h"

#include "CliFiles.h"
#include "FileCommands.h"
#include "FormState.h"

#include <QCommandLineParser>

namespace quellix {

namespace {

const char* const GeneralHelp =
    "Usage: quellix-cli [--quiet | --verbose] COMMAND [ARGUMENT...]\n"
    "\n"
    "Works with configurations of the Quellix display unit without a window. A file\n"
    "whose name ends in \".json\" holds the text form, made to be read, edited and\n"
    "kept in version control; any other name (\".qlx\", the autosave file\n"
    "\"quellix.ini\") holds the 242-byte block image that the window saves.\n"
    "\n"
    "Commands:\n"
    "  show FILE                       show a configuration as the window does\n"
    "  diff A B                        compare two configurations field by field\n"
    "  export FILE.qlx [-o FILE.json]  write a configuration in the text form\n"
    "  import FILE.json -o FILE.qlx    check a text form and write it as a block\n"
    "  help [COMMAND]                  show this text, or a command's\n"
    "\n"
    "Options:\n"
    "  -q, --quiet    print no messages but errors; diff prints no differences\n"
    "  -v, --verbose  also tell which files are read and written\n"
    "  --version      print the version and end\n"
    "  -h, --help     show this text; after a command, that command's\n"
    "\n"
    "Exit status:\n"
    "  0  done\n"
    "  1  the configurations differ (diff)\n"
    "  2  wrong usage\n"
    "  5  a file cannot be read, parsed or written\n"
    "\n"
    "Messages go to standard error and name the file concerned. A file is written\n"
    "whole or not at all: on any error the previous file stays as it was.\n";

struct Command {
    const char* name;
    const char* help;
};

const Command Commands[] = {
    {"show", "Usage: quellix-cli show FILE\n"
             "\n"
             "Shows the configuration in FILE as the window does: the two headers, and per\n"
             "channel its tag, units, decimal places, disabled mark, flags byte and the two\n"
             "calibration points, each as the raw reading and the value required there.\n"
             "Texts are in double quotes, so that blanks show; control characters appear as\n"
             "\\u escapes. Values are shown in the channel's decimals, also for a disabled\n"
             "channel (where the window shows blanks); \"---\" means no value.\n"},
    {"diff", "Usage: quellix-cli diff [--hidden] A B\n"
             "\n"
             "Compares the configurations in the files A and B field by field, and prints one\n"
             "line for each field that differs:\n"
             "\n"
             "  channel2.tag: \"Tag 2\" -> \"Feed Pump\"\n"
             "  channel2.point1.value: 1.00 -> 1.25\n"
             "\n"
             "Fields are named as in the text form, values are shown as the window shows\n"
             "them (texts in quotes, \"---\" for no value). A required value differs when its\n"
             "number or its channel's decimals do. The flags byte is listed only when bits\n"
             "other than the decimals and the disabled mark differ.\n"
             "\n"
             "Options:\n"
             "  --hidden  also compare what the window never shows: the reserved fields, the\n"
             "            last readings and the bytes after each text (\"hidden.\" fields);\n"
             "            the files then match only when their block images are the same\n"
             "\n"
             "Exit status: 0 when they match, 1 when they differ, 2 wrong usage, 5 a file\n"
             "cannot be read or parsed.\n"},
    {"export", "Usage: quellix-cli export FILE [-o FILE.json]\n"
               "\n"
               "Writes the configuration in FILE (usually a .qlx block file) in the text form,\n"
               "to FILE.json or to standard output. The text form holds every byte of the\n"
               "block, so importing it gives back the same 242 bytes.\n"
               "\n"
               "The text form (UTF-8, keys in a fixed order, two-space indent) holds at the top\n"
               "what the window shows: \"header1\", \"header2\", and \"channel1\"..\"channel4\" with\n"
               "\"tag\", \"units\", \"decimals\" (0..3), \"disabled\", \"flags\" (the whole byte, such\n"
               "as \"0x41\") and \"point1\", \"point2\" ({\"raw\": 100, \"value\": \"10.0\"}: the raw\n"
               "reading and the required value in the channel's decimals; null for no value).\n"
               "Under \"hidden\" it holds what the window never shows: \"reserved\", the bytes\n"
               "after each text (\"after\", in hex), a length byte beyond its field (\"length\"),\n"
               "and per channel \"lastReading\", \"reservedA\" and \"reservedB\".\n"
               "\n"
               "Options:\n"
               "  -o, --output FILE.json  write to this file instead of standard output\n"},
    {"import", "Usage: quellix-cli import FILE.json -o FILE.qlx\n"
               "\n"
               "Checks the text form in FILE.json and writes it as a 242-byte block file. Every\n"
               "field is checked; the first fault is reported with its key path and reason (a\n"
               "text longer than its field in bytes, a character Windows-1252 cannot hold, a\n"
               "value outside -32767..32767 or with more decimal places than its channel has,\n"
               "a wrong type, an unknown or repeated key), and nothing is written.\n"
               "\n"
               "\"decimals\" and \"disabled\" must agree with \"flags\"; a file may leave \"flags\"\n"
               "out (it is then the decimals, plus 0x40 when disabled). A hand-written file may\n"
               "also leave out \"hidden\" or any part of it: those fields then take their\n"
               "defaults, and the bytes after each text are zero. The text form is described\n"
               "in \"quellix-cli help export\" and by its JSON Schema, installed as\n"
               "share/quellix/quellix-config.schema.json.\n"
               "\n"
               "Options:\n"
               "  -o, --output FILE.qlx  the block file to write (required; any name not ending\n"
               "                         in \".json\")\n"},
    {"help", "Usage: quellix-cli help [COMMAND]\n"
             "\n"
             "Shows the list of commands, or what COMMAND does and takes.\n"},
};

const Command* findCommand(const QString& name) {
    for (const Command& c : Commands)
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

struct GlobalOptions {
    QCommandLineOption quiet{{QStringLiteral("q"), QStringLiteral("quiet")}};
    QCommandLineOption verbose{{QStringLiteral("v"), QStringLiteral("verbose")}};
    QCommandLineOption version{QStringLiteral("version")};
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}};

    void addTo(QCommandLineParser& parser) const { parser.addOptions({quiet, verbose, version, help}); }
};

class Run {
public:
    Run(QTextStream& out, QTextStream& err, const CliSettings& settings)
        : out_(out), err_(err), settings_(settings) {}

    int operator()(const QStringList& arguments);

private:
    int usage(const QString& problem, const QString& command = {}) {
        err_
            << QStringLiteral("quellix-cli: ") << problem << u'\n'
            << QStringLiteral("Try 'quellix-cli help%1'.").arg(command.isEmpty() ? QString() : u' ' + command)
            << Qt::endl;
        return ExitUsage;
    }
    bool readVerbosity(const QCommandLineParser& parser);
    int runCommand(const Command& command, const QCommandLineParser& parser, const QStringList& tokens);
    int diff(const QCommandLineParser& parser, const QStringList& tokens);

    QTextStream& out_;
    QTextStream& err_;
    const CliSettings& settings_;
    const GlobalOptions global_;
    const QCommandLineOption output_{
        {QStringLiteral("o"), QStringLiteral("output")}, QString(), QStringLiteral("FILE")};
    const QCommandLineOption hidden_{QStringLiteral("hidden")};
    const QCommandLineOption port_{QStringLiteral("port"), QString(), QStringLiteral("PORT")};
    Verbosity verbosity_ = Verbosity::Normal;
};

bool Run::readVerbosity(const QCommandLineParser& parser) {
    const bool quiet = parser.isSet(global_.quiet) || verbosity_ == Verbosity::Quiet;
    const bool verbose = parser.isSet(global_.verbose) || verbosity_ == Verbosity::Verbose;
    if (quiet && verbose)
        return false;
    verbosity_ = quiet ? Verbosity::Quiet : verbose ? Verbosity::Verbose : Verbosity::Normal;
    return true;
}

int Run::operator()(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    global_.addTo(parser);
    if (!parser.parse(arguments))
        return usage(parser.errorText());
    if (!readVerbosity(parser))
        return usage(QStringLiteral("--quiet and --verbose exclude each other"));
    const QStringList words = parser.positionalArguments();
    if (parser.isSet(global_.version)) {
        out_ << QStringLiteral("quellix-cli %1").arg(QStringLiteral(QUELLIX_VERSION)) << Qt::endl;
        return ExitDone;
    }
    if (parser.isSet(global_.help)) {
        out_ << GeneralHelp;
        return ExitDone;
    }
    if (words.isEmpty()) {
        err_ << GeneralHelp;
        return ExitUsage;
    }
    const Command* command = findCommand(words.first());
    if (!command)
        return usage(QStringLiteral("unknown command \"%1\"").arg(words.first()));

    QCommandLineParser commandParser;
    global_.addTo(commandParser);
    const QString name = QLatin1String(command->name);
    if (name == QLatin1String("diff"))
        commandParser.addOptions({hidden_, port_});
    else if (name == QLatin1String("export") || name == QLatin1String("import"))
        commandParser.addOption(output_);
    const QStringList tokens = words.mid(1);
    if (!commandParser.parse(QStringList{arguments.first()} + tokens))
        return usage(commandParser.errorText(), name);
    if (!readVerbosity(commandParser))
        return usage(QStringLiteral("--quiet and --verbose exclude each other"), name);
    if (commandParser.isSet(global_.help)) {
        out_ << command->help;
        return ExitDone;
    }
    if (commandParser.isSet(global_.version))
        return usage(QStringLiteral("--version stands alone, before any command"), name);
    return runCommand(*command, commandParser, tokens);
}

int Run::runCommand(const Command& command, const QCommandLineParser& parser, const QStringList& tokens) {
    const QString name = QLatin1String(command.name);
    const QStringList files = parser.positionalArguments();
    CliOutput output(out_, err_, verbosity_);
    if (name == QLatin1String("help")) {
        if (files.size() > 1)
            return usage(QStringLiteral("help takes at most one command"), name);
        if (files.isEmpty()) {
            out_ << GeneralHelp;
            return ExitDone;
        }
        const Command* about = findCommand(files.first());
        if (!about)
            return usage(QStringLiteral("unknown command \"%1\"").arg(files.first()));
        out_ << about->help;
        return ExitDone;
    }
    if (name == QLatin1String("diff"))
        return diff(parser, tokens);
    if (files.size() != 1)
        return usage(QStringLiteral("%1 takes one file, not %2").arg(name).arg(files.size()), name);
    if (name == QLatin1String("show"))
        return ShowCommand(files.first(), output);

    const QString target = parser.value(output_);
    if (name == QLatin1String("export")) {
        if (parser.isSet(output_) && !IsTextFormName(target))
            return usage(
                QStringLiteral("export writes the text form: the output's name must end in \".json\""), name);
    } else {
        if (!parser.isSet(output_))
            return usage(QStringLiteral("import needs the block file to write: -o FILE.qlx"), name);
        if (IsTextFormName(target))
            return usage(
                QStringLiteral("import writes a block file: the output's name must not end in \".json\""),
                name);
    }
    if (parser.isSet(output_) && target.isEmpty())
        return usage(QStringLiteral("-o needs a file name"), name);
    return ConvertCommand(files.first(), target, output);
}

// The two sides in the order given; QCommandLineParser keeps files and --port values apart, so the
// order is taken from the tokens, which the parser has already found valid.
int Run::diff(const QCommandLineParser& parser, const QStringList& tokens) {
    std::vector<ConfigSource> sides;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const QString& t = tokens[i];
        QString port;
        if (!optionsEnded && t == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && t == QLatin1String("--port"))
            port = tokens.value(++i);
        else if (!optionsEnded && t.startsWith(QLatin1String("--port=")))
            port = t.mid(7);
        else if (!optionsEnded && t.startsWith(u'-') && t != QLatin1String("-"))
            continue;
        if (port.isNull()) {
            sides.push_back(ConfigSource{t, {}});
            continue;
        }
        QString error;
        const QString formState =
            settings_.formStateFile.isEmpty() ? FormStateFilePath() : settings_.formStateFile;
        std::optional<PortName> resolved = ResolvePort(port, formState, error);
        if (!resolved)
            return usage(QStringLiteral("--port: ") + error, QStringLiteral("diff"));
        sides.push_back(ConfigSource{{}, std::move(resolved)});
    }
    if (sides.size() != 2)
        return usage(QStringLiteral("diff compares two configurations, not %1").arg(sides.size()),
                     QStringLiteral("diff"));
    CliOutput output(out_, err_, verbosity_);
    return DiffCommand(sides[0], sides[1], parser.isSet(hidden_), output);
}

} // namespace

int RunCli(const QStringList& arguments, QTextStream& out, QTextStream& err, const CliSettings& settings) {
    const int status = Run(out, err, settings)(arguments);
    out.flush();
    // A result that never reached its reader (a full disk behind a redirection) is no success.
    if (out.status() != QTextStream::Ok && (status == ExitDone || status == ExitDifferences)) {
        err << QStringLiteral("quellix-cli: standard output cannot be written") << Qt::endl;
        return ExitFileError;
    }
    err.flush();
    return status;
}

} // namespace quellix
