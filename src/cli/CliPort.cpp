#include "CliPort.h"

#include "FormState.h"
#include "MemIniFile.h"
#include "NetAddress.h"
#include "PortSession.h"

#include <QRegularExpression>

namespace quellix {

QString PortLabel(const PortName& port) {
    return port.name == port.device ? port.device : QStringLiteral("%1 (%2)").arg(port.name, port.device);
}

std::optional<PortName> ResolvePort(const QString& argument, const QString& formStateFile, QString& error) {
    static const QRegularExpression comName(QStringLiteral("^COM([1-4])$"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (const QRegularExpressionMatch match = comName.match(argument); match.hasMatch()) {
        const TMemIniFile ini(formStateFile);
        const QString name = argument.toUpper();
        return PortName{name, PortSession::comDevicePath(PortDevicePaths(ini), match.captured(1).toInt())};
    }
    if (IsNetPortName(argument)) {
        // The parser's message names the port already.
        if (ParseNetAddress(argument, &error))
            return PortName{argument, argument};
        return std::nullopt;
    }
    if (argument.contains(u'/'))
        return PortName{argument, argument};
    error = QStringLiteral("\"%1\" is no port: give COM1..COM4 or a device path such as /dev/ttyUSB0, or a "
                           "network port such as tcp://HOST:PORT or rfc2217://HOST:PORT")
                .arg(argument);
    return std::nullopt;
}

} // namespace quellix
