// quellix-cli: the display unit's configurations from the command line, without a window.
#include "Cli.h"

#include <QCoreApplication>
#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    const QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    quellix::CliSettings settings;
    settings.terminal = ::isatty(STDERR_FILENO) == 1;
    return quellix::RunCli(QCoreApplication::arguments(), out, err, settings);
}
