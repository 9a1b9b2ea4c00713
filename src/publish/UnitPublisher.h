// Publishes one unit: every reading goes to the unit's queue on disk first and leaves it once the
// broker has acknowledged it, so readings taken while the broker is away, or not yet acknowledged when
// the program died, are sent in order with their own times when it is back. Also the unit's retained
// availability, with "offline" as the connection's last will, and Home Assistant's discovery configs,
// sent again whenever Home Assistant announces itself.
//
// Each unit has a connection of its own: a last will names one topic, and each unit's availability
// must turn "offline" when the publisher dies.
#pragma once

#include "MqttClient.h"
#include "Payloads.h"
#include "ReadingQueue.h"

#include <QObject>
#include <QTimer>
#include <deque>
#include <memory>
#include <optional>

namespace quellix {

class UnitPublisher : public QObject {
    Q_OBJECT
public:
    // Connects as "<broker.clientId>-<unit>" with the topics of `topics`; `queue` is the unit's.
    // Without `discovery`, nothing is sent to Home Assistant's topics.
    UnitPublisher(const MqttSettings& broker, UnitTopics topics, bool discovery,
                  std::unique_ptr<ReadingQueue> queue, QObject* parent = nullptr);
    // Gone without finish(), the unit turns "offline" all the same.
    ~UnitPublisher() override;

    void start();
    // The unit's names, decimals, disabled marks and version, after each configuration download:
    // readings from now on carry these names, and Home Assistant's configs follow (a disabled
    // channel's removed).
    void describe(const UnitDescription& unit);
    // A reading taken, or the readings gone stale (values missing): queued and sent in turn. False when
    // the queue could not take it (see errorOccurred).
    bool takeReading(const Reading& reading, bool stale);
    // Whether the unit answers; the retained availability follows.
    void setUnitOnline(bool online);
    // Sends what it can of the queue within `graceMs` and disconnects, the availability turning
    // "offline"; what is left stays queued. finished() follows.
    void finish(int graceMs);

    bool connected() const { return client_.isConnected(); }
    const ReadingQueue& queue() const { return *queue_; }
    // Readings an MQTT 5 broker refused (not authorised, say): they leave the queue all the same.
    std::int64_t refused() const { return refused_; }
    const UnitTopics& topics() const { return topics_; }
    MqttClient& client() { return client_; }

Q_SIGNALS:
    void errorOccurred(const QString& message);
    void finished();

private:
    struct Pending {
        int id;
        std::int64_t seq;
        bool done;
    };
    void onConnected();
    void onDelivered(int id, bool accepted);
    void onMessage(const QString& topic, const QByteArray& payload);
    void publishDiscovery();
    void publishAvailability();
    void pump();
    void settle();
    void endNow();

    UnitTopics topics_;
    bool discovery_;
    std::unique_ptr<ReadingQueue> queue_;
    MqttClient client_;
    std::optional<UnitDescription> unit_;
    std::optional<bool> online_;
    std::deque<Pending> pending_; // readings sent, in order, until acknowledged
    std::int64_t next_ = 0;       // the next reading to send
    std::int64_t refused_ = 0;
    bool finishing_ = false;
    QTimer grace_;
};

} // namespace quellix
