// Network port names: tcp://HOST:PORT (the unit's bytes as they are, as a device server's "TCP server"
// mode or ser2net's raw accepter has them) and rfc2217://HOST:PORT (Telnet with the COM-PORT-OPTION),
// HOST an IPv4 address, an IPv6 address in brackets ([::1]) or a host name.
#pragma once

#include <QString>

#include <optional>

namespace quellix {

enum class NetProtocol { Raw, Rfc2217 };

struct NetAddress {
    NetProtocol protocol = NetProtocol::Raw;
    QString host; // an IPv6 address without its brackets
    quint16 port = 0;

    // The port name in its usual form: the scheme in lower case, an IPv6 address in brackets.
    QString name() const;
};

// Whether a port name is meant as a network port: it has a scheme ("xyz://"), which no device path has.
bool IsNetPortName(const QString& name);

// The address a network port name gives; nothing for a malformed one, with `error` saying what is wrong
// in the user's terms.
std::optional<NetAddress> ParseNetAddress(const QString& name, QString* error = nullptr);

} // namespace quellix
