#include "NetConnection.h"
#include "Ser2net.h"
#include "SimProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <gtest/gtest.h>

#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quellix {

namespace {

using namespace std::chrono_literals;

// A connection and everything it told.
struct Client {
    NetConnection net;
    QList<QByteArray> batches;
    int gone = 0;

    Client() {
        QObject::connect(&net, &NetConnection::received, &net,
                         [this](std::uint32_t, const QByteArray& batch) { batches << batch; });
        QObject::connect(&net, &NetConnection::gone, &net, [this] { ++gone; });
    }

    bool open(const QString& name, NetConnection::Limits limits = {}) {
        net.setLimits(limits);
        net.open(*ParseNetAddress(name));
        return net.waitForOpen();
    }
    QString failure() const { return net.failure().text; }

    // Runs the event loop until `done` holds or the bound passes; whether it holds.
    bool waitFor(const std::function<bool()>& done, int boundMs = 10000) {
        const QDeadlineTimer deadline(boundMs);
        while (!done() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        return done();
    }

    // Sends a request; its reply must come as one batch, with nothing after it for longer than the gap.
    QByteArray request(const Bytes& frame) {
        batches.clear();
        net.write(frame.data(), frame.size());
        waitFor([this] { return !batches.isEmpty(); });
        waitFor([] { return false; }, 150);
        return batches.size() == 1 ? batches.front()
                                   : QByteArray("batches: ") + QByteArray::number(batches.size());
    }
};

// A TCP socket bound to a loopback port of its own.
struct LoopbackSocket {
    LoopbackSocket() {
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    }
    ~LoopbackSocket() { ::close(fd); }
    QString url() const { return QStringLiteral("tcp://127.0.0.1:%1").arg(ntohs(address.sin_port)); }

    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
};

QByteArray Bytes_(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

Bytes ItemWrite(const Bytes& text) {
    return Frame('q', Bytes{0, 22} + text);
}

} // namespace

TEST(NetConnection, RawTcpToTheSimulator) {
    // Paced: one byte a TCP segment, a millisecond apart.
    SimProcess sim({"--listen", "127.0.0.1:0", "--pace"}, SimProcess::Port::LeaveClosed);
    ASSERT_TRUE(sim.started());
    const QString url = QStringLiteral("tcp://localhost:") + sim.path().section(QLatin1Char(':'), -1);
    Client c;
    ASSERT_TRUE(c.open(url)) << c.failure().toStdString();
    EXPECT_EQ(c.request(Frame('v')), Bytes_(Frame('V', {'Q', 'X', '-', '4', ' ', 'V', '2', '.', '1', '0'})));

    // Ten replies back to back are cut at the read size, as the tty cuts them.
    c.batches.clear();
    const Bytes ten = Frame('v') + Frame('v') + Frame('v') + Frame('v') + Frame('v') + Frame('v') +
                      Frame('v') + Frame('v') + Frame('v') + Frame('v');
    c.net.write(ten.data(), ten.size());
    c.waitFor([&c] { return c.batches.size() == 2; });
    ASSERT_EQ(c.batches.size(), 2);
    EXPECT_EQ(c.batches[0].size(), 100);
    EXPECT_EQ(c.batches[1].size(), 30);

    // A second client is refused, as ser2net refuses one, and the open says so.
    Client second;
    EXPECT_FALSE(second.open(QStringLiteral("tcp://") + sim.path()));
    EXPECT_EQ(second.net.failure().kind, NetFailureKind::Busy) << second.failure().toStdString();
    EXPECT_TRUE(second.failure().contains(QLatin1String("Port already in use")));

    // The server going away ends the open connection.
    EXPECT_EQ(sim.terminate(), 0);
    EXPECT_TRUE(c.waitFor([&c] { return c.gone == 1; }));
    EXPECT_EQ(c.net.state(), NetConnection::State::Gone);
    EXPECT_EQ(c.net.failure().kind, NetFailureKind::Closed);
    EXPECT_FALSE(c.net.write(ten.data(), 3));
}

TEST(NetConnection, OpenFailuresHaveTheirKinds) {
    // A port that is bound but not listening refuses connections.
    const LoopbackSocket reserved;
    Client refused;
    EXPECT_FALSE(refused.open(reserved.url()));
    EXPECT_EQ(refused.net.failure().kind, NetFailureKind::Refused);
    EXPECT_EQ(refused.net.state(), NetConnection::State::Failed);

    // A listener whose queue is full drops further connections unanswered, as a host that is down does.
    const LoopbackSocket full;
    ::listen(full.fd, 0);
    const LoopbackSocket filler;
    ASSERT_EQ(::connect(filler.fd, reinterpret_cast<const sockaddr*>(&full.address), sizeof full.address), 0);
    Client late;
    NetConnection::Limits quick;
    quick.connect = 300ms;
    EXPECT_FALSE(late.open(full.url(), quick));
    EXPECT_EQ(late.net.failure().kind, NetFailureKind::Timeout) << late.failure().toStdString();

    // rfc2217:// to a port that passes raw bytes: no Telnet comes back.
    SimProcess sim({"--listen", "[::1]:0"}, SimProcess::Port::LeaveClosed);
    ASSERT_TRUE(sim.started());
    Client raw;
    quick.negotiate = 200ms;
    EXPECT_FALSE(raw.open(QStringLiteral("rfc2217://") + sim.path(), quick));
    EXPECT_EQ(raw.net.failure().kind, NetFailureKind::NotTelnet) << raw.failure().toStdString();
}

TEST(NetConnection, ThroughSer2net) {
    if (!Ser2net::Installed())
        GTEST_SKIP() << "ser2net is not installed; scripts/setup installs it";
    SimProcess sim({}, SimProcess::Port::LeaveClosed);
    ASSERT_TRUE(sim.started());
    for (const auto accepter : {Ser2net::Accepter::Raw, Ser2net::Accepter::Rfc2217}) {
        Ser2net server(sim.path(), accepter);
        SCOPED_TRACE(server.url().toStdString());
        ASSERT_TRUE(server.start()) << server.log().toStdString();
        Client c;
        ASSERT_TRUE(c.open(server.url())) << c.failure().toStdString();
        if (accepter == Ser2net::Accepter::Rfc2217)
            EXPECT_EQ(c.net.warnings(),
                      QStringList{server.url() + ": the server did not confirm DTR on, RTS off"});
        else
            EXPECT_TRUE(c.net.warnings().isEmpty());

        // 0xFF both ways: a tag holding one is stored and read back whole.
        EXPECT_EQ(c.request(ItemWrite({'A', 0xFF, 'B'})), Bytes_(Frame('Q')));
        EXPECT_EQ(c.request(Bytes{0x01, 'p', 0x0A, 0, 22, 0, 0, 0, 0, 0, 0, 0, 0}),
                  Bytes_(Frame('P', {0, 22, 'A', 0xFF, 'B'})));
        EXPECT_EQ(c.request(Frame('x')).size(), 19);

        Client second;
        EXPECT_FALSE(second.open(server.url()));
        EXPECT_EQ(second.net.failure().kind, NetFailureKind::Busy) << second.failure().toStdString();

        server.stop();
        EXPECT_TRUE(c.waitFor([&c] { return c.gone == 1; }));
        EXPECT_EQ(c.net.failure().kind, NetFailureKind::Closed);
    }

    // The unit's line gone behind ser2net: it closes the connection, and the next at once.
    Ser2net server(sim.path(), Ser2net::Accepter::Raw);
    Client c;
    ASSERT_TRUE(c.open(server.url())) << c.failure().toStdString();
    EXPECT_EQ(sim.terminate(), 0);
    EXPECT_TRUE(c.waitFor([&c] { return c.gone == 1; }));
    Client again;
    EXPECT_FALSE(again.open(server.url()));
    EXPECT_EQ(again.net.failure().kind, NetFailureKind::Closed);
    // With ser2net's reason, "Device open failure", unless the old connection was still closing.
    EXPECT_TRUE(again.failure().startsWith(server.url() + ": the server closed the connection at once"))
        << again.failure().toStdString();
}

} // namespace quellix
