#include "MqttClient.h"

#include "PublishLog.h"

#include <QElapsedTimer>

#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace quellix {

// What the connection's thread tells the client's.
struct MqttEvent {
    enum Kind { Connected, Lost, AttemptFailed, Delivered, Message, Stopped };
    MqttEvent(Kind k, std::uint64_t g = 0, QString t = {}) : kind(k), generation(g), text(std::move(t)) {}

    Kind kind;
    std::uint64_t generation;
    QString text; // reason or topic
    int id = 0;   // message id; the retry's milliseconds for AttemptFailed
    bool accepted = true;
    QByteArray payload;
};

// What the client's thread and the connection's thread share. `instance` guards the libmosquitto
// instance publish() uses; `post` guards the way back to the client and the stop request. `post` is
// taken inside libmosquitto's callbacks, so nothing calls into libmosquitto while holding it, and it
// may be taken while holding `instance`, never the other way round.
struct MqttConnection {
    explicit MqttConnection(MqttSettings s) : settings(std::move(s)) {}

    const MqttSettings settings;

    std::mutex instance;
    mosquitto* mosq = nullptr;
    bool ended = false;                 // the stop was carried out on `mosq`
    std::atomic<std::uint64_t> live{0}; // generation of the connection accepted now; 0 when none

    std::mutex post;
    std::function<void(MqttEvent)> sink; // empty once the client is gone
    std::condition_variable wake;
    bool stopping = false;
    bool sendWill = false;
    bool finished = false;

    // Read and written on the connection's thread only.
    std::uint64_t generations = 0;
    QString refusal;
    QString lostReason;

    void Post(MqttEvent event) {
        std::lock_guard lock(post);
        if (sink)
            sink(std::move(event));
    }
    bool Stopping() {
        std::lock_guard lock(post);
        return stopping;
    }
    void Run();
    void EndLocked();

private:
    mosquitto* Create(QString* error);
    void Serve(mosquitto* m);
    void Wait(int ms);
};

namespace {

QString ErrorText(int rc) {
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    return QString::fromUtf8(mosquitto_strerror(rc));
}

const char* OrNull(const std::string& text) {
    return text.empty() ? nullptr : text.c_str();
}

MqttConnection* Of(void* data) {
    return static_cast<MqttConnection*>(data);
}

void OnConnect(mosquitto* mosq, void* data, int rc, int, const mosquitto_property*) {
    MqttConnection* c = Of(data);
    if (rc != 0) {
        c->refusal = c->settings.protocol == MqttProtocol::V5
                         ? QString::fromUtf8(mosquitto_reason_string(rc))
                         : QString::fromUtf8(mosquitto_connack_string(rc));
        return;
    }
    for (const QString& topic : c->settings.subscriptions)
        mosquitto_subscribe_v5(mosq, nullptr, topic.toStdString().c_str(), 1, 0, nullptr);
    c->live = ++c->generations;
    c->Post(MqttEvent(MqttEvent::Connected, c->generations));
}

void OnDisconnect(mosquitto*, void* data, int rc, const mosquitto_property*) {
    MqttConnection* c = Of(data);
    if (rc != 0 && c->lostReason.isEmpty())
        c->lostReason = ErrorText(rc);
}

void OnPublish(mosquitto*, void* data, int mid, int reason, const mosquitto_property*) {
    MqttConnection* c = Of(data);
    MqttEvent event(MqttEvent::Delivered, c->live);
    event.id = mid;
    // MQTT 5 reason codes from 0x80 on are refusals; below are kinds of success.
    event.accepted = reason < 0x80;
    c->Post(std::move(event));
}

void OnMessage(mosquitto*, void* data, const mosquitto_message* message, const mosquitto_property*) {
    MqttEvent event(MqttEvent::Message, 0, QString::fromUtf8(message->topic));
    event.payload = QByteArray(static_cast<const char*>(message->payload), message->payloadlen);
    Of(data)->Post(std::move(event));
}

} // namespace

mosquitto* MqttConnection::Create(QString* error) {
    const MqttSettings& s = settings;
    mosquitto* m = mosquitto_new(s.clientId.toStdString().c_str(), true, this);
    if (!m) {
        *error = QStringLiteral("cannot make a client: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return nullptr;
    }
    mosquitto_threaded_set(m, true);
    mosquitto_int_option(m, MOSQ_OPT_PROTOCOL_VERSION,
                         s.protocol == MqttProtocol::V5 ? MQTT_PROTOCOL_V5 : MQTT_PROTOCOL_V311);
    mosquitto_int_option(m, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_int_option(m, MOSQ_OPT_SEND_MAXIMUM, s.maxInflight);
    mosquitto_connect_v5_callback_set(m, OnConnect);
    mosquitto_disconnect_v5_callback_set(m, OnDisconnect);
    mosquitto_publish_v5_callback_set(m, OnPublish);
    mosquitto_message_v5_callback_set(m, OnMessage);
    int rc = MOSQ_ERR_SUCCESS;
    if (!s.username.isEmpty())
        rc = mosquitto_username_pw_set(m, s.username.toStdString().c_str(),
                                       s.password.isEmpty() ? nullptr : s.password.constData());
    if (rc == MOSQ_ERR_SUCCESS && !s.willTopic.isEmpty())
        rc = mosquitto_will_set_v5(m, s.willTopic.toStdString().c_str(),
                                   static_cast<int>(s.willPayload.size()), s.willPayload.constData(), 1, true,
                                   nullptr);
    if (rc == MOSQ_ERR_SUCCESS && s.tls) {
        const std::string ca = s.caFile.toStdString(), cert = s.certFile.toStdString(),
                          key = s.keyFile.toStdString();
        if (ca.empty())
            mosquitto_int_option(m, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        rc = mosquitto_tls_set(m, OrNull(ca), ca.empty() ? "/etc/ssl/certs" : nullptr, OrNull(cert),
                               OrNull(key), nullptr);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        *error = ErrorText(rc);
        mosquitto_destroy(m);
        return nullptr;
    }
    return m;
}

// Carries out a stop on the instance, once; `instance` is held.
void MqttConnection::EndLocked() {
    bool withWill = false;
    {
        std::lock_guard lock(post);
        if (!stopping || !mosq || ended)
            return;
        withWill = sendWill;
    }
    ended = true;
    if (!withWill)
        mosquitto_disconnect_v5(mosq, 0, nullptr);
    else if (settings.protocol == MqttProtocol::V5)
        mosquitto_disconnect_v5(mosq, MQTT_RC_DISCONNECT_WITH_WILL_MSG, nullptr);
    else
        ::shutdown(mosquitto_socket(mosq), SHUT_RDWR);
}

// Runs one connection until it is lost or stopped.
void MqttConnection::Serve(mosquitto* m) {
    {
        std::lock_guard lock(instance);
        mosq = m;
        ended = false;
    }
    for (;;) {
        {
            std::lock_guard lock(instance);
            EndLocked();
        }
        const int rc = mosquitto_loop(m, 1000, 1);
        if (rc != MOSQ_ERR_SUCCESS) {
            if (lostReason.isEmpty() && rc != MOSQ_ERR_NO_CONN)
                lostReason = ErrorText(rc);
            break;
        }
    }
    std::lock_guard lock(instance);
    mosq = nullptr;
    live = 0;
}

// Sleeps `ms`, or less when the client stops.
void MqttConnection::Wait(int ms) {
    std::unique_lock lock(post);
    wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping; });
}

void MqttConnection::Run() {
    int retryMs = settings.firstRetryMs;
    // A connection that lasts starts the back-off afresh; one the broker drops at once (another client
    // with the same id, say) keeps it growing.
    constexpr qint64 LastingMs = 10000;
    while (!Stopping()) {
        QString reason;
        refusal.clear();
        lostReason.clear();
        const std::uint64_t before = generations;
        QElapsedTimer up;
        if (mosquitto* m = Create(&reason)) {
            const std::string host = settings.host.toStdString();
            const int rc = mosquitto_connect_bind_v5(m, host.c_str(), settings.port,
                                                     settings.keepAliveSeconds, nullptr, nullptr);
            if (rc == MOSQ_ERR_SUCCESS) {
                up.start();
                Serve(m);
            } else {
                reason = ErrorText(rc);
            }
            mosquitto_destroy(m);
        }
        if (generations != before) {
            Post(MqttEvent(MqttEvent::Lost, 0,
                           lostReason.isEmpty() ? QStringLiteral("disconnected") : lostReason));
            if (up.elapsed() >= LastingMs)
                retryMs = settings.firstRetryMs;
        } else if (!Stopping()) {
            if (!refusal.isEmpty())
                reason = QStringLiteral("refused: ") + refusal;
            else if (reason.isEmpty())
                reason = lostReason.isEmpty() ? QStringLiteral("no answer") : lostReason;
            MqttEvent failed(MqttEvent::AttemptFailed, 0, reason);
            failed.id = retryMs;
            Post(std::move(failed));
        }
        if (Stopping())
            break;
        Wait(retryMs);
        retryMs = std::min(2 * retryMs, settings.lastRetryMs);
    }
    Post(MqttEvent(MqttEvent::Stopped));
    std::lock_guard lock(post);
    finished = true;
    wake.notify_all();
}

MqttClient::MqttClient(MqttSettings settings, QObject* parent)
    : QObject(parent), settings_(std::move(settings)) {
    static std::once_flag init;
    std::call_once(init, [] { mosquitto_lib_init(); });
}

MqttClient::~MqttClient() {
    if (!connection_)
        return;
    stop();
    std::unique_lock lock(connection_->post);
    connection_->sink = nullptr;
    // A thread still resolving or connecting ends by itself; it holds its share of the connection.
    connection_->wake.wait_for(lock, std::chrono::seconds(1), [this] { return connection_->finished; });
}

void MqttClient::start() {
    if (connection_)
        return;
    connection_ = std::make_shared<MqttConnection>(settings_);
    connection_->sink = [this](MqttEvent event) {
        QMetaObject::invokeMethod(
            this, [this, event = std::move(event)] { handle(event); }, Qt::QueuedConnection);
    };
    std::thread([c = connection_] { c->Run(); }).detach();
}

void MqttClient::stop(bool sendWill) {
    if (!connection_) {
        QMetaObject::invokeMethod(this, &MqttClient::stopped, Qt::QueuedConnection);
        return;
    }
    {
        std::lock_guard lock(connection_->post);
        if (connection_->stopping)
            return;
        connection_->stopping = true;
        connection_->sendWill = sendWill;
        connection_->wake.notify_all();
    }
    // Done from here, the stop also wakes the connection's thread from its wait on the socket.
    std::lock_guard lock(connection_->instance);
    connection_->EndLocked();
}

int MqttClient::publish(const QString& topic, const QByteArray& payload, bool retain) {
    if (!connection_ || generation_ == 0)
        return 0;
    std::lock_guard lock(connection_->instance);
    // Only on the connection this thread was told of: a newer one has not yet been announced here.
    if (!connection_->mosq || connection_->live != generation_)
        return 0;
    int id = 0;
    const int rc =
        mosquitto_publish_v5(connection_->mosq, &id, topic.toStdString().c_str(),
                             static_cast<int>(payload.size()), payload.constData(), 1, retain, nullptr);
    if (rc != MOSQ_ERR_SUCCESS) {
        qCDebug(lcPublish) << "publish to" << topic << "failed:" << ErrorText(rc);
        return 0;
    }
    return id;
}

void MqttClient::handle(const MqttEvent& event) {
    switch (event.kind) {
    case MqttEvent::Connected:
        generation_ = event.generation;
        qCDebug(lcPublish) << settings_.clientId << "connected to" << settings_.host << settings_.port;
        Q_EMIT connected();
        break;
    case MqttEvent::Lost:
        generation_ = 0;
        qCDebug(lcPublish) << settings_.clientId << "lost the broker:" << event.text;
        Q_EMIT disconnected(event.text);
        break;
    case MqttEvent::AttemptFailed:
        qCDebug(lcPublish) << settings_.clientId << "cannot connect:" << event.text;
        Q_EMIT attemptFailed(event.text, event.id);
        break;
    case MqttEvent::Delivered:
        if (event.generation == generation_ && generation_ != 0)
            Q_EMIT delivered(event.id, event.accepted);
        break;
    case MqttEvent::Message:
        Q_EMIT messageReceived(event.text, event.payload);
        break;
    case MqttEvent::Stopped:
        Q_EMIT stopped();
        break;
    }
}

} // namespace quellix
