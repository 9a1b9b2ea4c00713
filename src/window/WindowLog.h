// Diagnostics of the main window; quiet unless enabled with QT_LOGGING_RULES.
#pragma once
#include <QLoggingCategory>

namespace quellix {

Q_DECLARE_LOGGING_CATEGORY(lcWindow)
// The moment the window is first painted, for timing the start-up ("quellix.startup.info=true").
Q_DECLARE_LOGGING_CATEGORY(lcStartup)

// Milliseconds since the process started, as the kernel records it (to its clock tick, usually 10 ms);
// negative when unknown.
double MsSinceProcessStart();
// The monotonic clock in milliseconds, for matching the log with an outside observer's clock.
double MonotonicMs();

} // namespace quellix
