// The audit line of `quellix-cli write`: the log is checked before the unit is touched, so that a full
// disk stops the write unless the user said --no-audit, and the line is appended once the write ended.
#pragma once

#include "CliOutput.h"
#include "CliPort.h"
#include "ConfigBlock.h"

#include <QString>

namespace quellix {

class WriteAudit {
public:
    // `enabled`: false with --no-audit, which writes no line.
    WriteAudit(bool enabled, const PortName& port, const QString& file, CliOutput& output)
        : enabled_(enabled), port_(port), file_(file), output_(output) {}

    bool enabled() const { return enabled_; }
    // ExitDone when a line can be written, else ExitFileError with the reason and the way out.
    int check();
    // Appends the line of a write of `block` to the unit of `unitVersion` that ended with `status`.
    // Returns `status`, or ExitFileError when it was done but its line could not be written.
    int finish(const QString& unitVersion, const ConfigBlock& block, int status, int stopSignal);

private:
    bool enabled_;
    const PortName& port_;
    QString file_;
    CliOutput& output_;
};

} // namespace quellix
