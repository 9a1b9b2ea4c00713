#include "NetAddress.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QStringList>

namespace quellix {

namespace {

constexpr auto RawScheme = QLatin1StringView("tcp");
constexpr auto Rfc2217Scheme = QLatin1StringView("rfc2217");

bool IsDottedNumbers(const QString& host) {
    static const QRegularExpression dotted(QStringLiteral("^[0-9.]+$"));
    return dotted.match(host).hasMatch();
}

bool IsIpv4(const QString& host) {
    const QStringList parts = host.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (const QString& part : parts) {
        bool ok = false;
        if (part.isEmpty() || part.size() > 3 || part.toInt(&ok) > 255 || !ok)
            return false;
    }
    return true;
}

// RFC 1123: labels of letters, digits and inner hyphens, 1 to 63 long, 253 in all; one final dot.
QString HostNameProblem(QString host) {
    if (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    if (host.size() > 253)
        return QStringLiteral("the host name is longer than 253 characters");
    static const QRegularExpression label(QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?$"));
    for (const QString& part : host.split(QLatin1Char('.'))) {
        if (!label.match(part).hasMatch())
            return QStringLiteral("\"%1\" is not a valid host name: its parts are letters, digits and "
                                  "inner hyphens, separated by dots")
                .arg(host);
    }
    return {};
}

bool Fail(QString* error, const QString& text) {
    if (error)
        *error = text;
    return false;
}

// Splits "HOST:PORT" or "[IPV6]:PORT" into host and port text.
bool SplitHostPort(const QString& rest, QString& host, QString& port, QString* error) {
    QString tail;
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        if (close < 0)
            return Fail(error, QStringLiteral("the \"[\" of an IPv6 address has no \"]\""));
        host = rest.mid(1, close - 1);
        tail = rest.mid(close + 1);
        if (QHostAddress(host).protocol() != QAbstractSocket::IPv6Protocol)
            return Fail(error, QStringLiteral("\"%1\" is not a valid IPv6 address").arg(host));
        if (!tail.startsWith(QLatin1Char(':')))
            return Fail(error, QStringLiteral("no port after the address: write [ADDRESS]:PORT"));
        port = tail.mid(1);
        return true;
    }
    const qsizetype colon = rest.lastIndexOf(QLatin1Char(':'));
    if (colon < 0)
        return Fail(error, QStringLiteral("no port: write HOST:PORT"));
    host = rest.left(colon);
    port = rest.mid(colon + 1);
    if (host.contains(QLatin1Char(':')))
        return Fail(error, QStringLiteral("an IPv6 address goes in brackets, as in [::1]:PORT"));
    if (host.isEmpty())
        return Fail(error, QStringLiteral("no host before the port"));
    if (IsDottedNumbers(host) && !IsIpv4(host))
        return Fail(error, QStringLiteral("\"%1\" is not a valid IPv4 address").arg(host));
    if (!IsDottedNumbers(host)) {
        const QString problem = HostNameProblem(host);
        if (!problem.isEmpty())
            return Fail(error, problem);
    }
    return true;
}

std::optional<NetAddress> Parse(const QString& text, QString* error) {
    const qsizetype schemeEnd = text.indexOf(QLatin1String("://"));
    const QString scheme = text.left(schemeEnd).toLower();
    NetAddress address;
    if (scheme == RawScheme) {
        address.protocol = NetProtocol::Raw;
    } else if (scheme == Rfc2217Scheme) {
        address.protocol = NetProtocol::Rfc2217;
    } else {
        Fail(error, schemeEnd < 0 ? QStringLiteral("not a network port: write tcp://HOST:PORT or "
                                                   "rfc2217://HOST:PORT")
                                  : QStringLiteral("unknown kind \"%1://\": write tcp://HOST:PORT or "
                                                   "rfc2217://HOST:PORT")
                                        .arg(text.left(schemeEnd)));
        return std::nullopt;
    }
    QString port;
    if (!SplitHostPort(text.mid(schemeEnd + 3), address.host, port, error))
        return std::nullopt;
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    const int number = digits.match(port).hasMatch() ? port.toInt() : 0;
    if (number < 1 || number > 65535) {
        Fail(error, QStringLiteral("\"%1\" is not a port: the port is a number from 1 to 65535").arg(port));
        return std::nullopt;
    }
    address.port = static_cast<quint16>(number);
    return address;
}

} // namespace

QString NetAddress::name() const {
    const QString scheme = protocol == NetProtocol::Raw ? RawScheme : Rfc2217Scheme;
    const QString shownHost =
        host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return scheme + QLatin1String("://") + shownHost + QLatin1Char(':') + QString::number(port);
}

bool IsNetPortName(const QString& name) {
    return name.trimmed().contains(QLatin1String("://"));
}

std::optional<NetAddress> ParseNetAddress(const QString& name, QString* error) {
    QString problem;
    auto address = Parse(name.trimmed(), &problem);
    if (!address && error)
        *error = name.trimmed() + QLatin1String(": ") + problem;
    return address;
}

} // namespace quellix
