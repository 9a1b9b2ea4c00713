// Where a command's results and messages go: results to standard output, messages to standard error,
// each message with the program's name in front and its control characters escaped, since messages
// carry texts of units, files and other programs.
#pragma once

#include "ConfigJson.h"

#include <QFileDevice>
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
    // `terminal`: standard error is a terminal, where progress lines are shown.
    CliOutput(QTextStream& out, QTextStream& err, Verbosity verbosity, bool terminal = false)
        : out_(out), err_(err), verbosity_(verbosity), terminal_(terminal) {}

    // A command's result, asked for by its user: printed whatever the verbosity.
    QTextStream& result() { return out_; }
    // Bytes of a result as they are, such as a block image; false when they cannot be written. A stream
    // on a string (the tests') takes each byte as the character of the same code.
    bool resultBytes(const QByteArray& bytes) {
        out_.flush();
        QIODevice* device = out_.device();
        if (!device) {
            out_ << QString::fromLatin1(bytes);
            return true;
        }
        auto* file = qobject_cast<QFileDevice*>(device);
        return device->write(bytes) == bytes.size() && (!file || file->flush());
    }
    // A message about the run that --quiet silences.
    void note(const QString& text) {
        if (verbosity_ != Verbosity::Quiet)
            err_ << EscapedControls(text) << Qt::endl;
    }
    // What --verbose adds.
    void detail(const QString& text) {
        if (verbosity_ == Verbosity::Verbose)
            err_ << EscapedControls(text) << Qt::endl;
    }
    // A progress line, rewritten in place with "\r": the caller shows it only on a terminal.
    void progress(const QString& text) {
        err_ << text;
        err_.flush();
    }
    // Where messages go, for what writes them line by line itself.
    QTextStream& errorStream() { return err_; }
    // An error, always shown; returns `code` for the caller to return.
    int fail(int code, const QString& text) {
        err_ << QStringLiteral("quellix-cli: ") << EscapedControls(text) << Qt::endl;
        return code;
    }
    Verbosity verbosity() const { return verbosity_; }
    // Whether to show progress: on a terminal, and not with --quiet.
    bool showsProgress() const { return terminal_ && verbosity_ != Verbosity::Quiet; }

private:
    QTextStream& out_;
    QTextStream& err_;
    Verbosity verbosity_;
    bool terminal_;
};

} // namespace quellix
