#include "UnitPublisher.h"

#include "PublishLog.h"

namespace quellix {

namespace {

MqttSettings UnitConnection(MqttSettings broker, const UnitTopics& topics, bool discovery) {
    broker.clientId += u'-' + topics.unit;
    broker.willTopic = topics.Availability();
    broker.willPayload = UnitOffline;
    if (discovery)
        broker.subscriptions = {topics.DiscoveryStatus()};
    return broker;
}

} // namespace

UnitPublisher::UnitPublisher(const MqttSettings& broker, UnitTopics topics, bool discovery,
                             std::unique_ptr<ReadingQueue> queue, QObject* parent)
    : QObject(parent), topics_(std::move(topics)), discovery_(discovery), queue_(std::move(queue)),
      client_(UnitConnection(broker, topics_, discovery), this) {
    next_ = queue_->First();
    grace_.setSingleShot(true);
    connect(&grace_, &QTimer::timeout, this, &UnitPublisher::endNow);
    connect(&client_, &MqttClient::connected, this, &UnitPublisher::onConnected);
    connect(&client_, &MqttClient::disconnected, this, [this] {
        // Whatever was not acknowledged goes again, in order, on the next connection.
        pending_.clear();
        next_ = queue_->First();
        if (finishing_)
            endNow();
    });
    connect(&client_, &MqttClient::delivered, this, &UnitPublisher::onDelivered);
    connect(&client_, &MqttClient::messageReceived, this, &UnitPublisher::onMessage);
    connect(&client_, &MqttClient::stopped, this, &UnitPublisher::finished);
}

UnitPublisher::~UnitPublisher() {
    client_.stop(true);
}

void UnitPublisher::start() {
    client_.start();
}

void UnitPublisher::describe(const UnitDescription& unit) {
    unit_ = unit;
    publishDiscovery();
}

bool UnitPublisher::takeReading(const Reading& reading, bool stale) {
    QString error;
    if (!queue_->Append(reading, stale, unit_ ? unit_->names : ChannelNames{}, &error)) {
        qCWarning(lcPublish) << error;
        Q_EMIT errorOccurred(error);
        return false;
    }
    pump();
    return true;
}

void UnitPublisher::setUnitOnline(bool online) {
    if (online_ == online)
        return;
    online_ = online;
    publishAvailability();
}

void UnitPublisher::finish(int graceMs) {
    if (finishing_)
        return;
    finishing_ = true;
    grace_.start(graceMs);
    settle();
}

void UnitPublisher::onConnected() {
    next_ = queue_->First();
    pending_.clear();
    publishAvailability();
    publishDiscovery();
    pump();
}

void UnitPublisher::publishAvailability() {
    if (online_ && !finishing_)
        client_.publish(topics_.Availability(), *online_ ? UnitOnline : UnitOffline, true);
}

void UnitPublisher::publishDiscovery() {
    if (!discovery_ || !unit_)
        return;
    for (int channel = 1; channel <= 4; ++channel)
        client_.publish(topics_.Discovery(channel), DiscoveryPayload(topics_, *unit_, channel), true);
}

void UnitPublisher::onMessage(const QString& topic, const QByteArray& payload) {
    if (topic == topics_.DiscoveryStatus() && payload == UnitOnline)
        publishDiscovery();
}

// Sends queued readings until as many wait for their acknowledgement as the connection allows.
void UnitPublisher::pump() {
    const auto window = static_cast<std::size_t>(client_.settings().maxInflight);
    while (client_.isConnected() && pending_.size() < window) {
        next_ = std::max(next_, queue_->First());
        if (next_ >= queue_->End())
            return;
        const int want = static_cast<int>(window - pending_.size());
        const std::vector<QueuedReading> readings = queue_->Read(next_, want);
        const std::int64_t upTo = std::min(next_ + want, queue_->End());
        auto reading = readings.begin();
        for (std::int64_t seq = next_; seq < upTo; ++seq) {
            if (reading == readings.end() || reading->seq != seq) {
                pending_.push_back({0, seq, true}); // damaged on the disk: nothing to send
                continue;
            }
            const int id = client_.publish(
                topics_.State(), StatePayload(reading->reading, reading->names, reading->stale), false);
            if (id == 0)
                return;
            pending_.push_back({id, seq, false});
            next_ = seq + 1;
            ++reading;
        }
        next_ = upTo;
    }
    settle();
}

void UnitPublisher::onDelivered(int id, bool accepted) {
    for (Pending& p : pending_) {
        if (p.id == id && !p.done) {
            p.done = true;
            if (!accepted) {
                ++refused_;
                qCWarning(lcPublish) << "the broker refused reading" << p.seq << "of" << topics_.unit;
            }
            break;
        }
    }
    settle();
    pump();
}

// Readings leave the queue once they and every one before them are acknowledged.
void UnitPublisher::settle() {
    std::int64_t done = 0;
    while (!pending_.empty() && pending_.front().done) {
        done = pending_.front().seq;
        pending_.pop_front();
    }
    QString error;
    if (done > 0 && !queue_->Acknowledge(done, &error)) {
        qCWarning(lcPublish) << error;
        Q_EMIT errorOccurred(error);
    }
    if (finishing_ && (queue_->Length() == 0 || !client_.isConnected()))
        endNow();
}

// The broker sends the will: the unit's availability turns "offline" as it would if the publisher died.
void UnitPublisher::endNow() {
    grace_.stop();
    client_.stop(true);
}

} // namespace quellix
