// "Find Unit…": the serial devices asked for the unit, and a unit found taken as one of the ports.
#include "Unit1.h"

#include "FindUnitDialog.h"

namespace quellix {

// The port is written as the Ports dialog writes it (that one entry, the rest of the file kept) and
// selected as a click on its Com item selects it, with the same message when it does not open.
void TForm1::FindUnit1Click() {
    const QMap<QString, QString> ports = PortSession::readPorts();
    const QString openPath = session_.isOpen() ? session_.devicePath() : QString();
    TFindUnitDialog dialog(session_.deviceRoot(), ports, openPath, this);
    if (dialog.exec() != QDialog::Accepted || dialog.AssignedPort() == 0)
        return;
    const int n = dialog.AssignedPort();
    if (ports.value(QStringLiteral("COM%1").arg(n)) != dialog.AssignedPath() &&
        !WritePortPaths({{n, dialog.AssignedPath()}}))
        return;
    SelectPort(QChar(u'0' + n));
}

} // namespace quellix
