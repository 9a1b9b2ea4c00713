// Commands that change the simulated unit while it runs, one a line, read from a FIFO or standard
// input (--control), so that a calibration can be demonstrated and tested:
//   raw CH VALUE            hold channel CH's raw reading at VALUE (0..1023)
//   ramp CH FROM TO TIME    move it in a straight line from FROM to TO over TIME (10s, 500ms, 2m; a bare
//                           number is seconds), then hold TO
//   noise CH AMPLITUDE      add noise of up to +-AMPLITUDE counts to it (0: none)
//   wave CH                 back to its slow wave
//   mute on|off             stop answering every request, or answer again (the tool's readings go stale)
// CH is 1..4, or "all". Blank lines and lines starting with "#" are skipped.
#pragma once

#include "Readings.h"

#include <string>
#include <string_view>

namespace quellix {

struct ControlState {
    bool muted = false;
};

// Carries out one line at `seconds` since start. Empty when done, otherwise why it was refused.
std::string ApplyControl(std::string_view line, Readings& readings, ControlState& state, double seconds);

// Collects bytes from the control input and hands over whole lines.
class ControlLines {
public:
    void Feed(const char* data, std::size_t count);
    // The next whole line without its line break; false while none is complete.
    bool Next(std::string& line);

private:
    std::string pending_;
};

} // namespace quellix
