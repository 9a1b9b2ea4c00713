// Opening a serial device the one way this program does it: read/write, non-blocking, never as the
// controlling terminal, closed on exec; only a tty, and only one that no other open file holds with an
// exclusive flock. The serial component, the device probe and the simulator all open through it.
#pragma once

#include "UniqueFd.h"

namespace quellix {

enum class TtyOpenFailure {
    None,
    CannotOpen, // open(2) refused: missing, no access, busy (a tty's exclusive mark)
    NotATty,
    Locked, // another open file holds the lock (EWOULDBLOCK), or flock failed otherwise
};

struct TtyOpen {
    // Valid exactly when nothing failed; holds flock(LOCK_EX) until it is closed.
    UniqueFd fd;
    TtyOpenFailure failure = TtyOpenFailure::None;
    // errno of the call that failed, 0 when none did.
    int error = 0;
};

TtyOpen OpenTtyExclusive(const char* path);

} // namespace quellix
