// The unit's end of a pseudo-terminal, scripted by a test: it logs every request frame the tool sends,
// with the time it arrived, and answers through a function the test sets.
#pragma once

#include "FrameBytes.h"
#include "TestPty.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quellix {

struct ReceivedFrame {
    Bytes bytes;
    qint64 atMs; // since the peer was made
};

class PtyPeer : public QObject {
    Q_OBJECT
public:
    PtyPeer();

    bool ok() const { return pty_.master() >= 0; }
    // The tty the tool opens.
    QString path() const { return pty_.path(); }

    // Called for each complete request frame; returns the reply to write at once, or nothing.
    std::function<std::optional<Bytes>(const Bytes& request)> Answer;

    const std::vector<ReceivedFrame>& frames() const { return frames_; }
    void clearFrames() { frames_.clear(); }
    void send(const Bytes& bytes) const;
    // Closes the unit's end: the tool sees the device vanish.
    void closeMaster();
    qint64 elapsedMs() const { return clock_.elapsed(); }
    // The unit's end, for a test that writes from a thread of its own.
    int masterFd() const { return pty_.master(); }

private:
    void readAvailable();

    // The peer keeps the slave open too: the line stays raw and the master never reads as ended while
    // the tool has the port closed.
    TestPty pty_{TestPty::Ends::MasterAndSlave};
    std::unique_ptr<QSocketNotifier> notifier_;
    Bytes pending_;
    std::vector<ReceivedFrame> frames_;
    QElapsedTimer clock_;
};

// A reply function that answers every request the way a prompt unit with default contents would.
std::optional<Bytes> PromptUnit(const Bytes& request);
std::string Hex(const Bytes& bytes);

} // namespace quellix
