// Configuration files as the command line reads and writes them (the forms as ConfigFiles.h tells them
// apart), and where a command's output goes: a file, a character device or FIFO, or standard output.
#pragma once

#include "CliOutput.h"
#include "ConfigBlock.h"
#include "ConfigFiles.h"

#include <QString>
#include <optional>

namespace quellix {

// The configuration in `path`, or nothing with `message` saying why, naming the file; with `only`, a
// file of the other form is refused.
std::optional<ConfigBlock> LoadConfigFile(const QString& path, QString& message,
                                          std::optional<ConfigForm> only = std::nullopt);

// "-": the command's output goes to standard output.
bool IsStandardOutput(const QString& target);
// Whether the target's name must fit the form written into it: a new or regular file, but not standard
// output, a device, a FIFO or a directory, nor a name under /dev (/dev/stdout leads to whatever standard
// output is).
bool NamesAFile(const QString& target);
// The form a target's name asks for: the text form for a name ending in ".json" and for standard
// output, else the block image.
ConfigForm OutputForm(const QString& target);

// Writes the block in `form` to `target`: a file is replaced only once the whole of it is written, a
// character device or FIFO is written into, "-" is standard output. Returns the exit status, after a
// message naming the target when it failed.
int WriteConfigOutput(const ConfigBlock& block, const QString& target, ConfigForm form, CliOutput& output);

} // namespace quellix
