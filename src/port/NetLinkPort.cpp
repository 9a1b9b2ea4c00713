#include "NetLinkPort.h"

#include "PortLog.h"

#include <QTimer>

#include <utility>

namespace quellix {

NetLinkPort::NetLinkPort(const QString& name, QObject* parent) : LinkPort(parent), name_(name) {
    address_ = ParseNetAddress(name, &addressError_);
    connect(&connection_, &NetConnection::opened, this, &NetLinkPort::connectionOpened);
    connect(&connection_, &NetConnection::openFailed, this, &NetLinkPort::connectionFailed);
    // The connection tags every signal with the opening it belongs to: a batch or an end of a
    // connection already closed is dropped here.
    connect(&connection_, &NetConnection::received, this,
            [this](std::uint32_t opening, const QByteArray& batch) {
                if (opening == this->opening() && open_)
                    Q_EMIT received(batch);
            });
    // Told from the event loop, not from inside the connection's notification: whoever hears it closes
    // the port, and closing ends the channel the notification comes through.
    connect(&connection_, &NetConnection::gone, this, [this](std::uint32_t opening) {
        QTimer::singleShot(0, this, [this, opening] {
            if (opening != this->opening() || !open_)
                return;
            qCInfo(lcPort) << "network port" << name_ << "ended:" << connection_.failure().text;
            Q_EMIT hungUp(opening);
        });
    });
}

NetLinkPort::~NetLinkPort() {
    close();
}

bool NetLinkPort::open() {
    close();
    beginOpening();
    if (!address_)
        return false;
    connection_.open(*address_, opening());
    // The decision is handed out before waitForOpen returns, so open_ is already set by then.
    connection_.waitForOpen();
    return open_;
}

void NetLinkPort::close() {
    connection_.close();
    open_ = false;
    openPending_ = false;
}

bool NetLinkPort::write(const char* data, std::uint16_t length) {
    return connection_.write(reinterpret_cast<const std::uint8_t*>(data), length);
}

QString NetLinkPort::failureText() const {
    // Both name the port already.
    return address_ ? connection_.failure().text : addressError_;
}

// In the terms the window's open diagnosis has: a server busy with another client is a port in use;
// the rest has no counterpart on a tty, and the text says what happened.
OpenFailureKind NetLinkPort::failureKind() const {
    return address_ && connection_.failure().kind == NetFailureKind::Busy ? OpenFailureKind::InUse
                                                                          : OpenFailureKind::Other;
}

bool NetLinkPort::startOpen() {
    close();
    beginOpening();
    if (!address_)
        return false;
    openPending_ = true;
    connection_.open(*address_, opening());
    return true;
}

void NetLinkPort::connectionOpened(std::uint32_t opening) {
    if (opening != this->opening())
        return;
    open_ = true;
    for (const QString& warning : connection_.warnings())
        qCInfo(lcPort) << "network port" << name_ << "warning:" << warning;
    if (std::exchange(openPending_, false))
        Q_EMIT openEnded(true);
}

void NetLinkPort::connectionFailed(std::uint32_t opening) {
    if (opening != this->opening())
        return;
    qCInfo(lcPort) << "network port" << name_ << "not opened:" << connection_.failure().text;
    if (std::exchange(openPending_, false))
        Q_EMIT openEnded(false);
}

} // namespace quellix
