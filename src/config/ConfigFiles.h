// A configuration read from a file of either form, with the message naming the file when it cannot be:
// a name ending in ".json" holds the text form, any other name (".qlx", the autosave file) the 242-byte
// block image. The command line and the window's comparison read files through it.
#pragma once

#include "ConfigBlock.h"

#include <QString>
#include <optional>

namespace quellix {

bool IsTextFormName(const QString& path);

// The configuration in `path`, or nothing with `message` saying why ("a.json: channel2.decimals: ...",
// "b.qlx: no such file").
std::optional<ConfigBlock> ReadConfigFile(const QString& path, QString& message);

} // namespace quellix
