// The commands that work on configuration files alone.
#pragma once

#include "CliOutput.h"
#include "CliPort.h"
#include "ConfigBlock.h"

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
// Reads a configuration in either form and writes it in the form `target`'s name asks for (export and
// import); `target` empty: the text form goes to standard output.
int ConvertCommand(const QString& file, const QString& target, CliOutput& output);

} // namespace quellix
