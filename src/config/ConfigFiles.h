// A configuration read from a file of either form, with the message naming the file when it cannot be.
// A file holds the text form when its name ends in ".json", or when it begins (after a byte order mark
// and blanks) with "{" and is not exactly 242 bytes, as an edited copy "plant.json.orig" does; any other
// file holds the 242-byte block image. The command line and the window's comparison read through it.
#pragma once

#include "ConfigBlock.h"

#include <QString>
#include <optional>

namespace quellix {

enum class ConfigForm { Text, BlockImage };

bool IsTextFormName(const QString& path);

// The configuration in `path`, or nothing with `message` saying why ("a.json: channel2.decimals: ...",
// "b.qlx: no such file"). With `only`, a file of the other form is refused, the message naming the form
// found.
std::optional<ConfigBlock> ReadConfigFile(const QString& path, QString& message,
                                          std::optional<ConfigForm> only = std::nullopt);

} // namespace quellix
