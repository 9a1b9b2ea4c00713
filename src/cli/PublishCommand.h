// quellix-cli publish: reads one unit or a whole inventory as Auto Read does and publishes every
// reading to an MQTT broker (and to Prometheus with a metrics address) until a stop signal, which
// sends what it can of the queues within a bound and ends with 0.
#pragma once

#include "CliOutput.h"
#include "Inventory.h"

#include <QStringList>

namespace quellix {

struct PublishRequest {
    QString port;      // --port as given, or
    QString inventory; // --inventory
    QString unit;      // --unit: the id of the unit on --port; by default from the port's name
    QString broker;    // --broker URL, or
    QString config;    // --config FILE
    QString metrics;   // --metrics HOST:PORT, in place of the configuration's
};

// What SIGTERM leaves the queues to reach the broker before the program ends.
inline constexpr int PublishGraceMs = 2000;

int PublishCommand(const PublishRequest& request, const PortResolver& resolvePort, CliOutput& output);

} // namespace quellix
