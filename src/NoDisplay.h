// A start of the window program where Qt finds no usable display (none set, none reachable, no
// platform plugin that can open one) ends with one line and exit status 1 instead of Qt's abort.
#pragma once

namespace quellix {

// Call before the QApplication is made. Qt's own messages of the start are held back until the
// display is open, then shown as usual; without a display they give way to the one line.
void ExplainMissingDisplay();

} // namespace quellix
