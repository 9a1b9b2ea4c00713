#include "NetAddress.h"
#include "NetFailure.h"

#include <gtest/gtest.h>

namespace quellix {

TEST(NetAddress, ReadsTheTwoKindsOfNames) {
    const struct {
        const char* name;
        NetProtocol protocol;
        const char* host;
        quint16 port;
        const char* shown;
    } cases[] = {
        {"tcp://127.0.0.1:4001", NetProtocol::Raw, "127.0.0.1", 4001, "tcp://127.0.0.1:4001"},
        {"RFC2217://[::1]:2217", NetProtocol::Rfc2217, "::1", 2217, "rfc2217://[::1]:2217"},
        {" rfc2217://unit-7.plant.example.:23 ", NetProtocol::Rfc2217, "unit-7.plant.example.", 23,
         "rfc2217://unit-7.plant.example.:23"},
        {"tcp://localhost:65535", NetProtocol::Raw, "localhost", 65535, "tcp://localhost:65535"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(IsNetPortName(QString::fromLatin1(c.name)));
        const auto address = ParseNetAddress(QString::fromLatin1(c.name));
        ASSERT_TRUE(address);
        EXPECT_EQ(address->protocol, c.protocol);
        EXPECT_EQ(address->host, QLatin1String(c.host));
        EXPECT_EQ(address->port, c.port);
        EXPECT_EQ(address->name(), QLatin1String(c.shown));
    }
    EXPECT_FALSE(IsNetPortName(QStringLiteral("/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0")));
}

TEST(NetAddress, SaysWhatIsWrongWithAMalformedName) {
    const struct {
        const char* name;
        const char* says;
    } cases[] = {
        {"udp://host:5", "unknown kind \"udp://\""},
        {"tcp://host", "no port"},
        {"tcp://:5", "no host"},
        {"tcp://::1:5", "IPv6 address goes in brackets"},
        {"tcp://[::1:5", "has no \"]\""},
        {"tcp://[127.0.0.1]:5", "not a valid IPv6 address"},
        {"tcp://[::1]5", "no port after the address"},
        {"tcp://127.0.0.300:5", "not a valid IPv4 address"},
        {"tcp://1.2.3:5", "not a valid IPv4 address"},
        {"tcp://-unit:5", "not a valid host name"},
        {"tcp://unit_7:5", "not a valid host name"},
        {"tcp://host:0", "from 1 to 65535"},
        {"tcp://host:65536", "from 1 to 65535"},
        {"tcp://host:40o1", "from 1 to 65535"},
        {"tcp://host:5/", "from 1 to 65535"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        EXPECT_FALSE(ParseNetAddress(QString::fromLatin1(c.name), &error));
        EXPECT_TRUE(error.startsWith(QLatin1String(c.name) + QLatin1String(": "))) << error.toStdString();
        EXPECT_TRUE(error.contains(QLatin1String(c.says))) << error.toStdString();
    }
}

// Lookups and routes are not tried for real in the tests: they would leave the loopback.
TEST(NetFailure, EachSocketErrorHasItsKind) {
    const struct {
        QAbstractSocket::SocketError error;
        bool connecting;
        NetFailureKind kind;
        const char* says;
    } cases[] = {
        {QAbstractSocket::HostNotFoundError, true, NetFailureKind::HostNotFound, "host not found"},
        {QAbstractSocket::ConnectionRefusedError, true, NetFailureKind::Refused, "connection refused"},
        {QAbstractSocket::NetworkError, true, NetFailureKind::NoRoute, "no route to the host"},
        {QAbstractSocket::NetworkError, false, NetFailureKind::Other, "Network unreachable"},
        {QAbstractSocket::SocketTimeoutError, false, NetFailureKind::Timeout, "stopped answering"},
        {QAbstractSocket::RemoteHostClosedError, false, NetFailureKind::Closed, "closed the connection"},
    };
    for (const auto& c : cases) {
        const NetFailure f = FailureForSocketError(c.error, QStringLiteral("tcp://unit:4001"), c.connecting,
                                                   QStringLiteral("Network unreachable"));
        EXPECT_EQ(f.kind, c.kind) << c.says;
        EXPECT_TRUE(f.text.startsWith(QLatin1String("tcp://unit:4001: "))) << f.text.toStdString();
        EXPECT_TRUE(f.text.contains(QLatin1String(c.says))) << f.text.toStdString();
    }
}

} // namespace quellix
