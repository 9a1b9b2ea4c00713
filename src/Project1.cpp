// Program start: the main window, then the hidden edit dialog, then the event loop until the main
// window closes. --help and --version are answered first, without a display.
#include "About.h"
#include "NoDisplay.h"
#include "StopSignals.h"
#include "Unit1.h"
#include "Unit2.h"

#include <QApplication>

#include <iostream>

using namespace quellix;

namespace {

const char* const usage =
    "Usage: quellix [--help | --version]\n"
    "Configures and monitors the Quellix four-channel panel display unit over a serial line, in one\n"
    "window; see quellix(1). Qt's own options such as -platform and -style are accepted too.\n"
    "\n"
    "  -h, --help      show this text\n"
    "  -v, --version   show the version and licence\n";

} // namespace

int main(int argc, char** argv) {
    if (const auto answered = AnswerHelpOrVersion(argc, argv, "quellix", usage, std::cout))
        return *answered;
    ExplainMissingDisplay();
    QApplication application(argc, argv);
    // A kill, Ctrl-C or a closed terminal closes the window in order: nothing is lost. Taken before the
    // window is built, so that a stop while it is built waits for it instead of ending the program.
    StopSignals stopSignals;
    TForm1 form1;
    TForm2 form2;
    form1.SetEditDialog(&form2);
    QObject::connect(&stopSignals, &StopSignals::received, &form1, &TForm1::StopRequested);
    form1.show();
    return application.exec();
}
