// quellix-cli run in the test's own process, with what it printed and its exit status.
#pragma once

#include "Cli.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace quellix {

struct CliResult {
    int status;
    QString out;
    QString err;
};

inline CliResult runCli(const QStringList& args, const CliSettings& settings = {}) {
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    const int status = RunCli(QStringList{"quellix-cli"} + args, outStream, errStream, settings);
    return {status, out, err};
}

} // namespace quellix
