// Program start: the main window, then the hidden edit dialog, then the event loop until the main
// window closes.
#include "StopSignals.h"
#include "Unit1.h"
#include "Unit2.h"

#include <QApplication>

using namespace quellix;

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    TForm1 form1;
    TForm2 form2;
    form1.SetEditDialog(&form2);
    // A kill, Ctrl-C or a closed terminal closes the window as its close box does: nothing is lost.
    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::received, &form1, &TForm1::StopRequested);
    form1.show();
    return application.exec();
}
