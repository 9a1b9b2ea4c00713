// Program start: the main window, then the hidden edit dialog, then the event loop until the main
// window closes.
#include "Unit1.h"
#include "Unit2.h"

#include <QApplication>

using namespace quellix;

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    TForm1 form1;
    TForm2 form2;
    form1.SetEditDialog(&form2);
    form1.show();
    return application.exec();
}
