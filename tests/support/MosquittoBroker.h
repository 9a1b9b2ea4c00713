// A real mosquitto broker for tests on a free loopback port, keeping its state in the test's directory
// as brokers do (retained messages and lasting sessions outlast a stop and start), and mosquitto_sub
// as a subscriber that keeps every message it sees.
#pragma once

#include "ChildProcess.h"
#include "TempDir.h"

#include <memory>
#include <vector>

namespace quellix {

class MosquittoBroker {
public:
    // `config` adds to the listener's lines (login, TLS).
    explicit MosquittoBroker(const TempDir& dir, const QString& config = "allow_anonymous true\n");
    ~MosquittoBroker() { stop(); }

    // Starts it on its port (the same each time) and waits until it takes connections.
    bool start();
    void stop();
    quint16 port() const { return port_; }
    QString output() const { return QString::fromUtf8(TempDir::read(dir_.file("mosquitto.log"))); }
    // Publishes at QoS 1 with mosquitto_pub; false when that failed.
    bool publish(const QString& topic, const QByteArray& payload) const;

private:
    const TempDir& dir_;
    QString config_;
    quint16 port_;
    std::unique_ptr<ChildProcess> process_;
};

// Subscribes to "#" at QoS 1 in a lasting session named `id`, reconnecting by itself; constructed,
// it has subscribed (or waited 10 s for it).
class TestSubscriber {
public:
    TestSubscriber(const TempDir& dir, const MosquittoBroker& broker, const QString& id = "sub");

    // The payloads seen on `topic`, in order.
    std::vector<QByteArray> payloads(const QString& topic) const;
    // Runs the event loop until `topic` has had `count` messages, for at most 10 s.
    bool waitForCount(const QString& topic, std::size_t count) const;

private:
    QString output_;
    ChildProcess process_;
};

} // namespace quellix
