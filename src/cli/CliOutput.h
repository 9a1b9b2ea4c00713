// Where a command's results and messages go: results to standard output, messages to standard error,
// each message with the program's name in front.
#pragma once

#include <QString>
#include <QTextStream>

namespace quellix {

// The exit status of every command.
enum ExitCode : int {
    ExitDone = 0,
    ExitDifferences = 1,
    ExitUsage = 2,
    ExitPortNotOpened = 3,
    ExitNoAnswer = 4,
    ExitFileError = 5,
};

enum class Verbosity { Quiet, Normal, Verbose };

class CliOutput {
public:
    CliOutput(QTextStream& out, QTextStream& err, Verbosity verbosity)
        : out_(out), err_(err), verbosity_(verbosity) {}

    // A command's result, asked for by its user: printed whatever the verbosity.
    QTextStream& result() { return out_; }
    // A message about the run that --quiet silences.
    void note(const QString& text) {
        if (verbosity_ != Verbosity::Quiet)
            err_ << text << Qt::endl;
    }
    // What --verbose adds.
    void detail(const QString& text) {
        if (verbosity_ == Verbosity::Verbose)
            err_ << text << Qt::endl;
    }
    // An error, always shown; returns `code` for the caller to return.
    int fail(int code, const QString& text) {
        err_ << QStringLiteral("quellix-cli: ") << text << Qt::endl;
        return code;
    }
    Verbosity verbosity() const { return verbosity_; }

private:
    QTextStream& out_;
    QTextStream& err_;
    Verbosity verbosity_;
};

} // namespace quellix
