// A network port (tcp://HOST:PORT, rfc2217://HOST:PORT) as a link port: a connection whose received
// bytes come in batches as the tty's do. The owner's open waits for the connection within its limits,
// as a tty's open waits for the device; a reopen after the connection ended runs without waiting, so
// that retrying a server that is down never holds the owner's thread.
#pragma once

#include "LinkPort.h"
#include "NetConnection.h"

#include <optional>

namespace quellix {

class NetLinkPort : public LinkPort {
    Q_OBJECT
public:
    // `name` as the user gave it; a malformed one fails every open, saying what is wrong with it.
    explicit NetLinkPort(const QString& name, QObject* parent = nullptr);
    ~NetLinkPort() override;

    bool open() override;
    void close() override;
    // From a successful open until close(), the connection's end included, as a tty stays open after
    // its device went away.
    bool isOpen() const override { return open_; }
    bool write(const char* data, std::uint16_t length) override;
    // Why the last open failed or, once the connection ended, why it ended.
    QString failureText() const override;
    OpenFailureKind failureKind() const override;
    // No device to watch: a server's return is found by trying it.
    QString devicePath() const override { return {}; }
    bool startOpen() override;

    QStringList warnings() const override { return connection_.warnings(); }
    // For tests and benchmarks: the connection's limits for the next open.
    void setLimits(const NetConnection::Limits& limits) { connection_.setLimits(limits); }

private:
    void connectionOpened(std::uint32_t opening);
    void connectionFailed(std::uint32_t opening);

    QString name_;
    std::optional<NetAddress> address_;
    QString addressError_;
    NetConnection connection_;
    bool open_ = false;
    bool openPending_ = false;
};

} // namespace quellix
