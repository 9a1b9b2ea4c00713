// The commands that work on configuration files alone.
#pragma once

#include "CliOutput.h"
#include "CliPort.h"
#include "ConfigBlock.h"
#include "ConfigFiles.h"

#include <optional>

namespace quellix {

// One side of a comparison: a file, or the unit on a port.
struct ConfigSource {
    QString file;
    std::optional<PortName> port;
};

// The configuration as `show` prints it: headers, and per channel the texts, decimals, disabled mark,
// flags byte and the two calibration points.
QString ShowText(const ConfigBlock& block);

int ShowCommand(const QString& file, CliOutput& output);
int DiffCommand(const ConfigSource& first, const ConfigSource& second, bool hidden, CliOutput& output);
// Reads a configuration in the other form than `to` and writes it to `target` in form `to` (export:
// the text form, import: the block image); `target` empty or "-" is standard output.
int ConvertCommand(const QString& file, const QString& target, ConfigForm to, CliOutput& output);

} // namespace quellix
