// One connection to an MQTT broker (3.1.1 or 5) through libmosquitto: QoS 1 publishing, retained
// messages, a last will, user name and password, TLS, and reconnecting with a back-off of 1 s doubling
// to 60 s for as long as the client lives, whatever failed (refused, unreachable, name not found, TLS).
//
// The connection runs on a thread of its own: resolving the broker's name, connecting and the TLS
// handshake block for seconds when a network is down, and the thread that drives the serial links
// must never wait on them. Its events come back as queued signals on the client's thread. Each
// connection attempt gets a new libmosquitto instance, so nothing of a lost connection is sent again
// behind the caller's back: what was not acknowledged is the caller's to publish again.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

namespace quellix {

struct MqttConnection;
struct MqttEvent;

enum class MqttProtocol { V311, V5 };

struct MqttSettings {
    QString host = QStringLiteral("127.0.0.1");
    int port = 1883;
    MqttProtocol protocol = MqttProtocol::V311;
    QString clientId;
    int keepAliveSeconds = 30;
    QString username;    // none when empty
    QByteArray password; // sent only with a user name
    bool tls = false;
    QString caFile;   // TLS: the system's certificate authorities when empty
    QString certFile; // TLS client certificate and its key (not encrypted), both or neither
    QString keyFile;
    QString willTopic; // no last will when empty; retained, QoS 1
    QByteArray willPayload;
    QStringList subscriptions; // QoS 1, on every connection
    int maxInflight = 64;      // messages sent and not yet acknowledged; more wait in order
    int firstRetryMs = 1000;
    int lastRetryMs = 60000;
};

class MqttClient : public QObject {
    Q_OBJECT
public:
    explicit MqttClient(MqttSettings settings, QObject* parent = nullptr);
    // Disconnects cleanly (the broker keeps the will to itself) and lets the thread go; one still
    // waiting on the network ends by itself.
    ~MqttClient() override;

    const MqttSettings& settings() const { return settings_; }
    // Connects, and keeps connecting until stop().
    void start();
    // Ends the connection, and any further attempt; stopped() follows. A clean DISCONNECT keeps the
    // will at the broker; with `sendWill` the broker publishes it, as when a publisher dies (MQTT 5
    // asks for it; 3.1.1 closes the connection without DISCONNECT, after everything written so far).
    void stop(bool sendWill = false);
    bool isConnected() const { return generation_ != 0; }

    // Publishes at QoS 1 on the connection up now. The message id, which delivered() names once the
    // broker has acknowledged it, or 0 when nothing was sent (not connected).
    int publish(const QString& topic, const QByteArray& payload, bool retain);

Q_SIGNALS:
    void connected();
    // A connection that was up is gone; `reason` for the log.
    void disconnected(const QString& reason);
    // An attempt failed; the next comes after `retryMs`.
    void attemptFailed(const QString& reason, int retryMs);
    // The broker acknowledged message `id` of the connection up now; `accepted` is false when an MQTT 5
    // broker refused it (not authorised, quota, ...), which sending again would not change.
    void delivered(int id, bool accepted);
    void messageReceived(const QString& topic, const QByteArray& payload);
    void stopped();

private:
    void handle(const MqttEvent& event);

    MqttSettings settings_;
    std::shared_ptr<MqttConnection> connection_;
    std::uint64_t generation_ = 0; // of the connection up, as this thread knows it; 0 when none
    bool started_ = false;
};

} // namespace quellix
