// The one place that knows the kinds of link port and makes the right one from a port's name.
#pragma once

#include "LinkPort.h"

#include <QString>

#include <memory>

namespace quellix {

class TComPort;

// What a port is made from: its name as given or as the "Ports" section maps a COM name (a device
// path such as /dev/ttyUSB0, or a network port such as tcp://host:4001), the COM number it was selected
// by (0 for none), where the machine's /dev is found, and the serial component a serial device opens
// through (null: one of its own).
struct LinkPortRequest {
    QString name;
    int com = 0;
    QString deviceRoot;
    TComPort* ttyComponent = nullptr;
};

std::unique_ptr<LinkPort> createLinkPort(const LinkPortRequest& request, QObject* parent = nullptr);

} // namespace quellix
