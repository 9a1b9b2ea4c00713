// quellix-cli: the display unit's configurations from the command line, without a window.
#include "Cli.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

// A certificate is laid out with fonts, which need a GUI application; the offscreen platform gives
// them without a display.
bool MakesPdf(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "records") == 0 && std::strcmp(argv[i + 1], "pdf") == 0)
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    std::unique_ptr<QCoreApplication> app;
    if (MakesPdf(argc, argv)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QTextStream out(stdout);
    QTextStream err(stderr);
    quellix::CliSettings settings;
    settings.terminal = ::isatty(STDERR_FILENO) == 1;
    return quellix::RunCli(QCoreApplication::arguments(), out, err, settings);
}
