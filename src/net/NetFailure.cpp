#include "NetFailure.h"

namespace quellix {

namespace {

// What a server said, as one line of printable text.
QString ServerText(const QByteArray& bytes) {
    QString text;
    for (const char c : bytes.left(120))
        text += c >= 0x20 && c < 0x7F ? QChar::fromLatin1(c) : QChar(u' ');
    return text.simplified();
}

} // namespace

NetFailure FailureForSocketError(QAbstractSocket::SocketError error, const QString& name, bool connecting,
                                 const QString& detail) {
    switch (error) {
    case QAbstractSocket::HostNotFoundError:
        return {NetFailureKind::HostNotFound,
                name + QStringLiteral(": host not found: check the host name, or give its address")};
    case QAbstractSocket::ConnectionRefusedError:
        return {NetFailureKind::Refused,
                name + QStringLiteral(": connection refused: nothing listens at that port (is the device "
                                      "server or ser2net running, and is the port right?)")};
    case QAbstractSocket::NetworkError:
        if (connecting)
            return {NetFailureKind::NoRoute,
                    name + QStringLiteral(": no route to the host (%1): it is not on a network this "
                                          "computer reaches")
                               .arg(detail)};
        break;
    case QAbstractSocket::SocketTimeoutError:
        return {NetFailureKind::Timeout,
                name + QStringLiteral(": the server stopped answering: the connection timed out")};
    case QAbstractSocket::RemoteHostClosedError:
        return FailureForServerClose(name, connecting, {});
    default:
        break;
    }
    return {NetFailureKind::Other, name + QStringLiteral(": ") + detail};
}

NetFailure FailureForServerClose(const QString& name, bool opening, const QByteArray& sentBeforeOpen) {
    const QString said = ServerText(sentBeforeOpen);
    if (said.contains(QLatin1String("in use"), Qt::CaseInsensitive))
        return {
            NetFailureKind::Busy,
            name +
                QStringLiteral(": the server serves another client and refused this one (\"%1\")").arg(said)};
    if (!opening)
        return {NetFailureKind::Closed, name + QStringLiteral(": the server closed the connection")};
    return {NetFailureKind::Closed, said.isEmpty()
                                        ? name + QStringLiteral(": the server closed the connection at once")
                                        : name + QStringLiteral(": the server closed the connection at once "
                                                                "(\"%1\")")
                                                     .arg(said)};
}

NetFailure NotTelnetFailure(const QString& name, int limitMs) {
    return {NetFailureKind::NotTelnet,
            name + QStringLiteral(": no RFC 2217 answer within %1 ms: if the server passes raw bytes, use "
                                  "tcp:// instead")
                       .arg(limitMs)};
}

NetFailure ConnectTimeoutFailure(const QString& name, int limitMs) {
    return {NetFailureKind::Timeout,
            name + QStringLiteral(": no connection within %1 s: the host is down or drops the connection")
                       .arg(limitMs / 1000.0)};
}

} // namespace quellix
