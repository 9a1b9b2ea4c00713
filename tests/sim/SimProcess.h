// Runs quellix-sim for a test and talks to it over its pseudo-terminal as the tool would.
#pragma once

#include "FrameBytes.h"
#include "TempDir.h"

#include <QString>
#include <QStringList>

#include <csignal>
#include <sys/types.h>

namespace quellix {

class SimProcess {
public:
    // Open: the test opens the simulator's line itself. LeaveClosed: the path is only read, for a tool
    // that opens the line alone, or for a test that talks over a line of its own (`useLine`).
    enum class Port { Open, LeaveClosed };

    // `input`: a descriptor the simulator reads as its standard input (its control commands), or -1.
    explicit SimProcess(const QStringList& args = {}, Port port = Port::Open, int input = -1);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool started() const { return started_; }
    // The line the simulator printed: its pseudo-terminal, or the device it serves.
    QString path() const { return path_; }

    void send(const Bytes& bytes) const;
    // Reads whatever arrives until `count` bytes are there or `timeoutMs` passes.
    Bytes receive(std::size_t count, int timeoutMs = 3000) const;
    // The next batch of bytes, ended by 50 ms of silence, or empty after `timeoutMs`.
    Bytes receiveBatch(int timeoutMs = 3000) const;
    // Sends a request and returns its reply (empty when none comes within `timeoutMs`).
    Bytes request(const Bytes& frame, int timeoutMs = 1500) const;
    void closePort();
    bool openPort();
    // Talks over a copy of `fd` from now on, e.g. the master of a pseudo-terminal pair whose slave the
    // simulator serves as its device.
    void useLine(int fd);
    // Everything the simulator has written to standard error so far (its --log lines).
    QString errorOutput() const;
    // Stops the simulator with `signal` and returns its exit code (-1 if it did not end normally).
    int terminate(int signal = SIGTERM);

private:
    void spawn(const QStringList& args, int input);
    QString readFirstLine(int timeoutMs) const;
    // Reaps the process within `timeoutMs`; false while it still runs.
    bool reap(int timeoutMs);

    TempDir dir_; // holds the simulator's standard error
    pid_t pid_ = -1;
    int exitStatus_ = 0;
    int outFd_ = -1; // the simulator's standard output
    QString path_;
    int fd_ = -1;
    bool started_ = false;
};

} // namespace quellix
