// A real mosquitto broker for tests on a free loopback port, keeping its state in the test's directory
// as brokers do (retained messages and lasting sessions outlast a stop and start), and mosquitto_sub
// as a subscriber that keeps every message it sees.
#pragma once

#include "ChildProcess.h"
#include "TempDir.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>
#include <vector>

namespace quellix {

class MosquittoBroker {
public:
    // `config` adds to the listener's lines (login, TLS).
    explicit MosquittoBroker(const TempDir& dir, const QString& config = "allow_anonymous true\n")
        : dir_(dir), config_(config) {
        QTcpServer server;
        port_ = server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
    }
    ~MosquittoBroker() { stop(); }

    // Starts it on its port (the same each time) and waits until it takes connections.
    bool start() {
        // As root the broker would become the user "mosquitto", who cannot write the test's directory.
        const QString conf =
            QStringLiteral("user root\npersistence true\npersistence_location %1/\nlog_type error\n"
                           "log_type warning\nlistener %2 127.0.0.1\n%3")
                .arg(dir_.path())
                .arg(port_)
                .arg(config_);
        // Under timeout(1), which passes the stop on: a test that aborts (a sanitizer's report) leaves
        // no broker running for longer than five minutes.
        process_ = std::make_unique<ChildProcess>(
            "timeout", QStringList{"300", "mosquitto", "-c", dir_.write("mosquitto.conf", conf.toUtf8())},
            dir_.file("mosquitto.log"));
        const auto takesConnections = [this] {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port_);
            return socket.waitForConnected(200);
        };
        return QTest::qWaitFor([&] { return !process_->running() || takesConnections(); }, 10000) &&
               process_->running();
    }
    void stop() {
        if (process_ && process_->signal(SIGTERM) && process_->wait(5000) < 0)
            process_.reset(); // killed
    }
    quint16 port() const { return port_; }
    QString output() const { return QString::fromUtf8(TempDir::read(dir_.file("mosquitto.log"))); }
    // Publishes at QoS 1 with mosquitto_pub; false when that failed.
    bool publish(const QString& topic, const QByteArray& payload) const {
        return ChildProcess("mosquitto_pub", {"-h", "127.0.0.1", "-p", QString::number(port_), "-q", "1",
                                              "-t", topic, "-m", QString::fromUtf8(payload)})
                   .wait(10000) == 0;
    }

private:
    const TempDir& dir_;
    QString config_;
    quint16 port_ = 0;
    std::unique_ptr<ChildProcess> process_;
};

// Subscribes to "#" at QoS 1 in a lasting session named `id`, reconnecting by itself; constructed,
// it has subscribed (or waited 10 s for it).
class TestSubscriber {
public:
    TestSubscriber(const TempDir& dir, const MosquittoBroker& broker, const QString& id = "sub")
        : output_(dir.file(id + ".messages")),
          process_("mosquitto_sub",
                   {"-h", "127.0.0.1", "-p", QString::number(broker.port()), "-i", id, "-c", "-q", "1", "-t",
                    "#", "-F", "%t %p"},
                   output_) {
        const QString probe = "test/probe/" + id;
        (void)QTest::qWaitFor([&] { return broker.publish(probe, "") && !payloads(probe).empty(); }, 10000);
    }

    // The payloads seen on `topic`, in order: each message is a line "TOPIC PAYLOAD" (none of the
    // payloads tested holds a line break).
    std::vector<QByteArray> payloads(const QString& topic) const {
        const QByteArray prefix = topic.toUtf8() + ' ';
        std::vector<QByteArray> found;
        for (const QByteArray& line : TempDir::read(output_).split('\n')) {
            if (line.startsWith(prefix))
                found.push_back(line.mid(prefix.size()));
        }
        return found;
    }
    // Runs the event loop until `topic` has had `count` messages, for at most 10 s.
    bool waitForCount(const QString& topic, std::size_t count) const {
        return QTest::qWaitFor([&] { return payloads(topic).size() >= count; }, 10000);
    }

private:
    QString output_;
    ChildProcess process_;
};

} // namespace quellix
