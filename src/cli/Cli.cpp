// Command-line parsing and the help texts. Options before the command word are the global ones; the
// command's own parser takes its options and the global ones again, in any place after it.
#include "Cli.h"

#include "About.h"
#include "CalibCommands.h"
#include "CliFiles.h"
#include "CliHelp.h"
#include "FileCommands.h"
#include "FleetCommand.h"
#include "FormState.h"
#include "MemIniFile.h"
#include "PortCommands.h"
#include "PublishCommand.h"

#include <QCommandLineParser>

namespace quellix {

namespace {

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
    int runCommand(const CommandHelp& command, const QCommandLineParser& parser, const QStringList& tokens);
    int diff(const QCommandLineParser& parser, const QStringList& tokens);
    int calibCommand(const QString& name, const QCommandLineParser& parser, const QStringList& words);
    // The form-state file whose "Ports" section maps COM1..COM4.
    QString formStateFile() const;
    std::optional<PortName> resolve(const QString& argument, const QString& command, int& status);
    std::optional<PortName> portOption(const QCommandLineParser& parser, const QString& command, int& status);
    int portCommand(const QString& name, const QCommandLineParser& parser, const QStringList& files);
    int publish(const QCommandLineParser& parser, const QStringList& files);
    CliOutput output() { return CliOutput(out_, err_, verbosity_, settings_.terminal); }

    QTextStream& out_;
    QTextStream& err_;
    const CliSettings& settings_;
    const GlobalOptions global_;
    const QCommandLineOption output_{
        {QStringLiteral("o"), QStringLiteral("output")}, QString(), QStringLiteral("FILE")};
    const QCommandLineOption hidden_{QStringLiteral("hidden")};
    const QCommandLineOption port_{QStringLiteral("port"), QString(), QStringLiteral("PORT")};
    const QCommandLineOption base_{QStringLiteral("base"), QString(), QStringLiteral("FILE")};
    const QCommandLineOption noVerify_{QStringLiteral("no-verify")};
    const QCommandLineOption noAudit_{QStringLiteral("no-audit")};
    const QCommandLineOption since_{QStringLiteral("since"), QString(), QStringLiteral("DATE")};
    const QCommandLineOption json_{QStringLiteral("json")};
    const QCommandLineOption reason_{QStringLiteral("reason"), QString(), QStringLiteral("TEXT")};
    const QCommandLineOption technician_{QStringLiteral("technician"), QString(), QStringLiteral("NAME")};
    const QCommandLineOption reference_{QStringLiteral("reference"), QString(), QStringLiteral("ID")};
    const QCommandLineOption referenceDue_{QStringLiteral("reference-due"), QString(), QStringLiteral("DATE")};
    const QCommandLineOption interval_{QStringLiteral("interval"), QString(), QStringLiteral("S")};
    const QCommandLineOption count_{QStringLiteral("count"), QString(), QStringLiteral("N")};
    const QCommandLineOption format_{QStringLiteral("format"), QString(), QStringLiteral("FORMAT")};
    const FleetCommandOptions fleet_;
    const QCommandLineOption inventory_{QStringLiteral("inventory"), QString(), QStringLiteral("FILE")};
    const QCommandLineOption unit_{QStringLiteral("unit"), QString(), QStringLiteral("ID")};
    const QCommandLineOption broker_{QStringLiteral("broker"), QString(), QStringLiteral("URL")};
    const QCommandLineOption config_{QStringLiteral("config"), QString(), QStringLiteral("FILE")};
    const QCommandLineOption metrics_{QStringLiteral("metrics"), QString(), QStringLiteral("HOST:PORT")};
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
        out_ << QString::fromStdString(VersionText("quellix-cli"));
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
    const CommandHelp* command = FindCommandHelp(words.first());
    if (!command)
        return usage(QStringLiteral("unknown command \"%1\"").arg(words.first()));

    QCommandLineParser commandParser;
    global_.addTo(commandParser);
    const QString name = QLatin1String(command->name);
    if (name == QLatin1String("diff"))
        commandParser.addOptions({hidden_, port_});
    else if (name == QLatin1String("export") || name == QLatin1String("import"))
        commandParser.addOption(output_);
    else if (name == QLatin1String("info"))
        commandParser.addOption(port_);
    else if (name == QLatin1String("read"))
        commandParser.addOptions({port_, output_, base_});
    else if (name == QLatin1String("write"))
        commandParser.addOptions({port_, noVerify_, noAudit_});
    else if (name == QLatin1String("watch"))
        commandParser.addOptions({port_, interval_, count_, format_});
    else if (name == QLatin1String("audit"))
        commandParser.addOptions({since_, port_, json_});
    else if (name == QLatin1String("records"))
        commandParser.addOptions({output_, reason_, technician_, reference_, referenceDue_});
    else if (name == QLatin1String("fleet"))
        fleet_.addTo(commandParser);
    else if (name == QLatin1String("publish"))
        commandParser.addOptions({port_, inventory_, unit_, broker_, config_, metrics_});
    const QStringList tokens = words.mid(1);
    if (!commandParser.parse(QStringList{arguments.first()} + tokens))
        return usage(commandParser.errorText(), name);
    if (!readVerbosity(commandParser))
        return usage(QStringLiteral("--quiet and --verbose exclude each other"), name);
    if (commandParser.isSet(global_.help)) {
        out_ << command->text;
        return ExitDone;
    }
    if (commandParser.isSet(global_.version))
        return usage(QStringLiteral("--version stands alone, before any command"), name);
    return runCommand(*command, commandParser, tokens);
}

int Run::runCommand(const CommandHelp& command, const QCommandLineParser& parser, const QStringList& tokens) {
    const QString name = QLatin1String(command.name);
    const QStringList files = parser.positionalArguments();
    CliOutput output = this->output();
    if (name == QLatin1String("help")) {
        if (files.size() > 1)
            return usage(QStringLiteral("help takes at most one command"), name);
        if (files.isEmpty()) {
            out_ << GeneralHelp;
            return ExitDone;
        }
        const CommandHelp* about = FindCommandHelp(files.first());
        if (!about)
            return usage(QStringLiteral("unknown command \"%1\"").arg(files.first()));
        out_ << about->text;
        return ExitDone;
    }
    if (name == QLatin1String("diff"))
        return diff(parser, tokens);
    if (name == QLatin1String("audit") || name == QLatin1String("records"))
        return calibCommand(name, parser, files);
    if (name == QLatin1String("fleet"))
        return FleetCommand(parser, files, fleet_,
                            {formStateFile(), settings_.terminal,
                             [this, &name](const QString& problem) { return usage(problem, name); }},
                            output);
    if (name == QLatin1String("find"))
        return FindCommand(files, PortDevicePaths(TMemIniFile(formStateFile())), settings_.deviceRoot,
                           output);
    if (name == QLatin1String("info") || name == QLatin1String("read") || name == QLatin1String("write") ||
        name == QLatin1String("watch"))
        return portCommand(name, parser, files);
    if (name == QLatin1String("publish"))
        return publish(parser, files);
    if (files.size() != 1)
        return usage(QStringLiteral("%1 takes one file, not %2").arg(name).arg(files.size()), name);
    if (name == QLatin1String("show"))
        return ShowCommand(files.first(), output);

    const QString target = parser.value(output_);
    if (parser.isSet(output_) && target.isEmpty())
        return usage(QStringLiteral("-o needs a file name, or - for standard output"), name);
    const bool named = parser.isSet(output_) && NamesAFile(target);
    if (name == QLatin1String("export")) {
        if (named && !IsTextFormName(target))
            return usage(
                QStringLiteral("export writes the text form: the output's name must end in \".json\""), name);
        return ConvertCommand(files.first(), target, ConfigForm::Text, output);
    }
    if (!parser.isSet(output_))
        return usage(QStringLiteral("import needs the block file to write: -o FILE.qlx, or -o - for standard "
                                    "output"),
                     name);
    if (named && IsTextFormName(target))
        return usage(
            QStringLiteral("import writes a block file: the output's name must not end in \".json\""), name);
    return ConvertCommand(files.first(), target, ConfigForm::BlockImage, output);
}

int Run::calibCommand(const QString& name, const QCommandLineParser& parser, const QStringList& words) {
    CliOutput output = this->output();
    if (name == QLatin1String("audit")) {
        if (!words.isEmpty())
            return usage(QStringLiteral("audit takes no file"), name);
        return AuditCommand({parser.value(since_), parser.value(port_), parser.isSet(json_)}, output);
    }
    return RecordsCommand(words,
                          {parser.value(output_), parser.value(reason_), parser.value(technician_),
                           parser.value(reference_), parser.value(referenceDue_)},
                          output);
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
        int status = ExitDone;
        std::optional<PortName> resolved = resolve(port, QStringLiteral("diff"), status);
        if (!resolved)
            return status;
        sides.push_back(ConfigSource{{}, std::move(resolved)});
    }
    if (sides.size() != 2)
        return usage(QStringLiteral("diff compares two configurations, not %1").arg(sides.size()),
                     QStringLiteral("diff"));
    if (parser.isSet(hidden_) && (sides[0].port || sides[1].port))
        return usage(QStringLiteral("--hidden compares fields a unit does not send: not with --port"),
                     QStringLiteral("diff"));
    CliOutput output = this->output();
    return DiffCommand(sides[0], sides[1], parser.isSet(hidden_), output);
}

QString Run::formStateFile() const {
    return settings_.formStateFile.isEmpty() ? FormStateFilePath() : settings_.formStateFile;
}

std::optional<PortName> Run::resolve(const QString& argument, const QString& command, int& status) {
    QString error;
    std::optional<PortName> resolved = ResolvePort(argument, formStateFile(), error);
    if (!resolved)
        status = usage(QStringLiteral("--port: ") + error, command);
    return resolved;
}

std::optional<PortName> Run::portOption(const QCommandLineParser& parser, const QString& command,
                                        int& status) {
    if (!parser.isSet(port_)) {
        status = usage(QStringLiteral("%1 needs the unit's port: --port PORT").arg(command), command);
        return std::nullopt;
    }
    const QStringList values = parser.values(port_);
    if (values.size() > 1) {
        status =
            usage(QStringLiteral("%1 talks to one port, not %2").arg(command).arg(values.size()), command);
        return std::nullopt;
    }
    return resolve(values.first(), command, status);
}

int Run::portCommand(const QString& name, const QCommandLineParser& parser, const QStringList& files) {
    int status = ExitDone;
    const std::optional<PortName> port = portOption(parser, name, status);
    if (!port)
        return status;
    CliOutput output = this->output();
    if (name == QLatin1String("write")) {
        if (files.size() != 1)
            return usage(QStringLiteral("write takes one file, not %1").arg(files.size()), name);
        return WriteCommand(*port, files.first(), !parser.isSet(noVerify_), !parser.isSet(noAudit_), output);
    }
    if (!files.isEmpty())
        return usage(QStringLiteral("%1 takes no file argument: \"%2\"").arg(name, files.first()), name);
    if (name == QLatin1String("info"))
        return InfoCommand(*port, output);
    if (name == QLatin1String("read")) {
        const QString target = parser.value(output_);
        if (target.isEmpty())
            return usage(QStringLiteral("read needs the file to write: -o FILE"), name);
        if (parser.isSet(base_) && parser.value(base_).isEmpty())
            return usage(QStringLiteral("--base needs a file name"), name);
        return ReadCommand(*port, target, parser.value(base_), output);
    }
    WatchOptions watch;
    if (parser.isSet(interval_)) {
        bool ok = false;
        const double seconds = parser.value(interval_).toDouble(&ok);
        // The lower end leaves room for the pause before each request and the reply.
        if (!ok || !(seconds >= 0.25 && seconds <= 3600))
            return usage(QStringLiteral("--interval takes seconds from 0.25 to 3600, not \"%1\"")
                             .arg(parser.value(interval_)),
                         name);
        watch.intervalMs = static_cast<int>(seconds * 1000 + 0.5);
    }
    if (parser.isSet(count_)) {
        bool ok = false;
        watch.count = parser.value(count_).toInt(&ok);
        if (!ok || watch.count < 1)
            return usage(QStringLiteral("--count takes a number of lines from 1, not \"%1\"")
                             .arg(parser.value(count_)),
                         name);
    }
    const QString format = parser.value(format_);
    if (parser.isSet(format_) && format != QLatin1String("csv") && format != QLatin1String("json"))
        return usage(QStringLiteral("--format is csv or json, not \"%1\"").arg(format), name);
    watch.json = format == QLatin1String("json");
    return WatchCommand(*port, watch, output);
}

int Run::publish(const QCommandLineParser& parser, const QStringList& files) {
    const QString name = QStringLiteral("publish");
    if (!files.isEmpty())
        return usage(QStringLiteral("publish takes no file argument: \"%1\"").arg(files.first()), name);
    for (const QCommandLineOption* option : {&port_, &inventory_, &unit_, &broker_, &config_, &metrics_}) {
        if (parser.values(*option).size() > 1)
            return usage(QStringLiteral("--%1 is given once").arg(option->names().constLast()), name);
        if (parser.isSet(*option) && parser.value(*option).isEmpty())
            return usage(QStringLiteral("--%1 needs a value").arg(option->names().constLast()), name);
    }
    if (parser.isSet(port_) == parser.isSet(inventory_))
        return usage(QStringLiteral("publish reads --port PORT or --inventory FILE"), name);
    if (parser.isSet(broker_) == parser.isSet(config_))
        return usage(QStringLiteral("publish needs --broker URL or --config FILE"), name);
    if (parser.isSet(unit_) && !parser.isSet(port_))
        return usage(QStringLiteral("--unit names the unit on --port; an inventory names its own"), name);
    const PublishRequest request{parser.value(port_),   parser.value(inventory_), parser.value(unit_),
                                 parser.value(broker_), parser.value(config_),    parser.value(metrics_)};
    const PortResolver resolvePort = [this](const QString& port, QString& error) -> std::optional<QString> {
        const std::optional<PortName> resolved = ResolvePort(port, formStateFile(), error);
        return resolved ? std::optional<QString>(resolved->device) : std::nullopt;
    };
    CliOutput output = this->output();
    return PublishCommand(request, resolvePort, output);
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
