// "Print…" and "Export PDF…": the configuration sheet of what the window shows.
#include "Unit1.h"

#include "ConfigSheet.h"

#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>

namespace quellix {

SheetInfo TForm1::CurrentSheetInfo() const {
    SheetInfo info;
    info.madeAt = QDateTime::currentDateTime();
    info.fileName = FileName;
    info.port = PortStatus->text();
    // swVersion shows its design text until a version reply has come.
    const QString version = swVersion->text();
    const QString prefix = QString::fromLatin1(SoftwareVersionPrefix);
    if (version.startsWith(prefix))
        info.softwareVersion = version.mid(prefix.size());
    return info;
}

void TForm1::Print1Click() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDocName(QLatin1String(SheetTitle));
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    RenderConfigSheet(ConfigSheetHtml(Block, CurrentSheetInfo()), printer);
    if (printer.printerState() == QPrinter::Error)
        ShowMessage(QStringLiteral("Cannot print the configuration sheet"));
}

void TForm1::ExportPdf1Click() {
    const auto chosen = Dialogs->SaveFileName(
        this, {DialogInitialDir(), QStringLiteral("PDF files (*.pdf)"), QStringLiteral("pdf")});
    if (!chosen)
        return;
    QString error;
    if (!WriteConfigSheetPdf(ConfigSheetHtml(Block, CurrentSheetInfo()), *chosen, &error))
        ShowMessage("Cannot Save " + *chosen, error);
}

} // namespace quellix
