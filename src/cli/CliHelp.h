// The help texts of quellix-cli: the general one with the list of commands, and each command's.
#pragma once

#include <QString>

namespace quellix {

extern const char* const GeneralHelp;

struct CommandHelp {
    const char* name;
    const char* text;
};

// The command of that name, or nothing.
const CommandHelp* FindCommandHelp(const QString& name);

} // namespace quellix
