// Configuration files as the command line reads and writes them: a name ending in ".json" holds the
// text form, any other name (".qlx", the autosave file "quellix.ini") the 242-byte block image.
#pragma once

#include "ConfigBlock.h"

#include <QString>
#include <optional>

namespace quellix {

bool IsTextFormName(const QString& path);

// The configuration in `path`, or nothing with `message` saying why, naming the file.
std::optional<ConfigBlock> LoadConfigFile(const QString& path, QString& message);

// Writes the block to `path` in the form its name asks for, replacing the file only once the whole of
// it is written; false with `message` naming the file.
bool SaveConfigFile(const ConfigBlock& block, const QString& path, QString& message);

} // namespace quellix
