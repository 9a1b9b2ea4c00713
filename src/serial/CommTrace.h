// The component's trace facility: one line per step of its work, written only while a trace file is
// named. Callable from any thread.
#pragma once
#include <QString>

#include <string_view>

namespace quellix {

// Names the trace file (lines are appended to it); an empty name turns tracing off. Every TComPort
// constructor empties it.
void SetTraceFileName(const QString& name);
QString TraceFileName();

// Writes text as one line while tracing is on; otherwise does nothing.
void CommTrace(std::string_view text);
// For a failed system call: prefix + "GetLastError returned: " + the quoted text of errorCode (an errno
// value); prefix + "Out of memory" when the system has no text for the code.
void CommErrorTrace(int errorCode, std::string_view prefix);

} // namespace quellix
