// Runs quellix-sim for a test and talks to it over its pseudo-terminal as the tool would.
#pragma once

#include "FrameBytes.h"

#include <QProcess>
#include <QStringList>

#include <csignal>

class SimProcess {
public:
    // Open: the test opens the simulator's line itself. LeaveClosed: the path is only read, for a tool
    // that opens the line alone, or for a test that talks over a line of its own (`UseLine`).
    enum class Port { Open, LeaveClosed };

    explicit SimProcess(const QStringList& args = {}, Port port = Port::Open);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool started() const { return started_; }
    // The line the simulator printed: its pseudo-terminal, or the device it serves.
    QString path() const { return path_; }
    QProcess& process() { return process_; }

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
    QString errorOutput();
    // Stops the simulator with `signal` and returns its exit code (-1 if it did not end).
    int terminate(int signal = SIGTERM);

private:
    QProcess process_;
    QString path_;
    QString errors_;
    int fd_ = -1;
    bool started_ = false;
};
