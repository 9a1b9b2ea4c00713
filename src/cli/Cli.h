// quellix-cli: the unit's configurations from scripts. RunCli is the whole program but for the
// process around it, so tests run it in process.
#pragma once

#include "CliOutput.h"

#include <QStringList>
#include <QTextStream>

namespace quellix {

struct CliSettings {
    // The form-state file whose "Ports" section maps COM1..COM4; empty: the user's, as the window's.
    QString formStateFile;
    // Standard error is a terminal: progress lines are shown there.
    bool terminal = false;
    // Where find reads /dev, /sys and /proc; empty: the machine's own. Tests hand in a scratch tree.
    QString deviceRoot;
};

// `arguments` as main receives them, the program's name first. Returns the exit status (ExitCode).
int RunCli(const QStringList& arguments, QTextStream& out, QTextStream& err,
           const CliSettings& settings = {});

} // namespace quellix
