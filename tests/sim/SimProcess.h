// Runs quellix-sim for a test and talks to it over its pseudo-terminal as the tool would.
#pragma once

#include <QProcess>
#include <QStringList>

#include <cstdint>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

class SimProcess {
public:
    explicit SimProcess(const QStringList& args = {});
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool started() const { return fd_ >= 0; }
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
    // Stops the simulator with SIGTERM and returns its exit code (-1 if it did not end).
    int terminate();

private:
    QProcess process_;
    QString path_;
    int fd_ = -1;
};

Bytes Frame(char letter, const Bytes& payload = {});

// Joins two byte strings (element by element: GCC 12 misjudges the bounds of an inlined range insert).
inline Bytes operator+(const Bytes& a, const Bytes& b) {
    Bytes joined;
    joined.reserve(a.size() + b.size());
    for (const Bytes* part : {&a, &b})
        for (const std::uint8_t byte : *part)
            joined.push_back(byte);
    return joined;
}
