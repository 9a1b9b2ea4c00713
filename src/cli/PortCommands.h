// The commands that talk to the unit on a port, and find, which looks for it on every port.
#pragma once

#include "CliOutput.h"
#include "CliPort.h"
#include "ConfigBlock.h"
#include "LinkHost.h"

#include <QMap>
#include <QStringList>
#include <optional>

namespace quellix {

int InfoCommand(const PortName& port, CliOutput& output);
// Downloads into the defaults, or into the configuration in `base`, and saves to `target` in the form
// its name asks for; nothing is written unless the download completed.
int ReadCommand(const PortName& port, const QString& target, const QString& base, CliOutput& output);
// Uploads the configuration in `file`, ending with the store command, then with `verify` downloads
// into a fresh block and compares what the unit holds. With `audit`, the write's line goes into the
// audit trail, and no write starts while the trail cannot take it.
int WriteCommand(const PortName& port, const QString& file, bool verify, bool audit, CliOutput& output);

struct WatchOptions {
    int intervalMs = AutoReadIntervalMs;
    int count = 0; // lines to print before ending; 0: until stopped
    bool json = false;
};
int WatchCommand(const PortName& port, const WatchOptions& options, CliOutput& output);

// Probes `paths`, or when there are none every serial device found and every device `ports` (COM1..COM4
// to device paths, as the "Ports" section maps them) names; devices are looked for below `deviceRoot`.
int FindCommand(const QStringList& paths, const QMap<QString, QString>& ports, const QString& deviceRoot,
                CliOutput& output);

// The unit's configuration as a download into the defaults gives it, for diff; nothing with `status`
// set when it failed.
std::optional<ConfigBlock> ReadUnitConfig(const PortName& port, CliOutput& output, int& status);

} // namespace quellix
