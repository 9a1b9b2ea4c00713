// The simulator's line: opens the pseudo-terminal or device, and serves requests until a stop signal.
#pragma once

#include "SimOptions.h"
#include "SimUnit.h"

namespace quellix {

// Returns the process exit code.
int RunSimulator(const SimOptions& options, SimUnit& unit);

} // namespace quellix
