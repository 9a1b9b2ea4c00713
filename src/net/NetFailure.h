// Why a network port did not open or ended, as a kind for the caller and a sentence for the user that
// names the port.
#pragma once

#include <QAbstractSocket>
#include <QString>

namespace quellix {

enum class NetFailureKind {
    None,
    BadAddress,   // the name is malformed
    HostNotFound, // the host name has no address
    Refused,      // nothing listens at that port
    NoRoute,      // the host's network cannot be reached
    Timeout,      // no connection within the limit, or a connection that stopped answering
    Busy,         // the server serves another client and refused this one
    Closed,       // the server closed the connection
    NotTelnet,    // rfc2217:// to a server that does not speak Telnet
    Other,
};

struct NetFailure {
    NetFailureKind kind = NetFailureKind::None;
    QString text; // names the port
};

// The failure for a socket error on the connection to `name`, while it was being made (`connecting`)
// or once it was up; `detail` is the socket's own text.
NetFailure FailureForSocketError(QAbstractSocket::SocketError error, const QString& name, bool connecting,
                                 const QString& detail);
// The server closed the connection. What it sent before the open ended (ser2net's "Port already in
// use", "Device open failure: ...") tells why.
NetFailure FailureForServerClose(const QString& name, bool opening, const QByteArray& sentBeforeOpen);
NetFailure NotTelnetFailure(const QString& name, int limitMs);
NetFailure ConnectTimeoutFailure(const QString& name, int limitMs);

} // namespace quellix
