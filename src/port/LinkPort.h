// One port the link talks through, whatever carries its bytes: opened, written to, and closed by its
// owner; received batches and the loss of its device come as signals on the owner's thread.
#pragma once

#include "OpenDiagnosis.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace quellix {

class LinkPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Opens the port and begins a new opening; false when it did not open, with failureText() and
    // failureKind() saying why.
    virtual bool open() = 0;
    // Closes the port; nothing when closed. Signals of the opening just closed may still come.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Queues the bytes for transmission and returns at once; false when the port cannot take them.
    virtual bool write(const char* data, std::uint16_t length) = 0;

    // Why the last open failed, naming what was tried; empty after a successful one.
    virtual QString failureText() const = 0;
    virtual OpenFailureKind failureKind() const = 0;
    // What the other end did not take as asked at the last open (a network server's refused line
    // settings); never a failure.
    virtual QStringList warnings() const { return {}; }
    // The device to watch for its return once it has gone; empty for a port that is no device.
    virtual QString devicePath() const = 0;
    // Closes the port and starts a new opening without waiting for it, for a port whose open may take
    // seconds (a network server): openEnded follows. False, and nothing follows, for a port that
    // cannot (a tty, whose open is at once).
    virtual bool startOpen() { return false; }

    // The tag of the current opening (of the last one, while closed): counts the opens.
    std::uint32_t opening() const { return opening_; }

Q_SIGNALS:
    // One batch of received bytes as it arrived, ended by the receive gap; zero bytes included.
    void received(const QByteArray& batch);
    // The port of opening `opening` lost its device (unplugged, hung up); it stays open until closed.
    void hungUp(quint32 opening);
    // The opening startOpen() began is open, or did not open (failureText() says why).
    void openEnded(bool open);

protected:
    std::uint32_t beginOpening() { return ++opening_; }

private:
    std::uint32_t opening_ = 0;
};

} // namespace quellix
