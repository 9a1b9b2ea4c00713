// The unit's port as the command line names it: COM1..COM4, mapped through the "Ports" section of the
// window's form-state file with the window's defaults, a device path, or a network port.
#pragma once

#include <QString>
#include <optional>

namespace quellix {

struct PortName {
    QString name;   // as given: "COM2" (in capitals) or the path
    QString device; // the device to open
};

// How a port is named in messages: "COM2 (/dev/ttyUSB1)", or the path alone.
QString PortLabel(const PortName& port);

// Nothing, with `error` set, for an argument that is neither COM1..COM4 (in any case) nor a path (it
// must contain a "/", so that a typo such as "COM5" or "ttyUSB0" is not taken for a file here), and
// for a malformed network port (tcp://HOST:PORT, rfc2217://HOST:PORT).
std::optional<PortName> ResolvePort(const QString& argument, const QString& formStateFile, QString& error);

} // namespace quellix
