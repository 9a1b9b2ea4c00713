// Sends a signal to a test's child process, and to nothing else: a process that has already ended has
// no id, and kill() with 0 or -1 would reach the whole process group or, as root, every process.
#pragma once

#include <QProcess>

#include <csignal>

namespace quellix {

inline bool SignalProcess(pid_t pid, int signal) {
    return pid > 0 && ::kill(pid, signal) == 0;
}

inline bool SignalProcess(const QProcess& process, int signal) {
    return SignalProcess(static_cast<pid_t>(process.processId()), signal);
}

} // namespace quellix
