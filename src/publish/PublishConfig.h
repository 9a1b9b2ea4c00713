// The publisher's configuration file: where the broker is and how to log in, the topics, the queue
// and the metrics address. An INI file, checked against its keys before anything connects:
//
//   [broker]
//   url = mqtts://broker.plant:8883    ; mqtt://HOST[:PORT] (1883) or mqtts://HOST[:PORT] (TLS, 8883)
//   client_id = quellix-line1          ; default quellix-HOSTNAME; each unit adds "-UNIT"
//   protocol = 5                       ; 3.1.1 (default) or 5
//   keepalive = 30                     ; seconds, 5 to 3600
//   username = quellix
//   password_file = /etc/quellix/line1.password   ; or password = ...
//   ca_file = /etc/quellix/ca.pem      ; TLS: the system's authorities when left out
//   cert_file = /etc/quellix/client.pem
//   key_file = /etc/quellix/client.key
//   [topics]
//   prefix = quellix                   ; PREFIX/UNIT/state and PREFIX/UNIT/availability
//   discovery = true                   ; Home Assistant discovery
//   discovery_prefix = homeassistant
//   [queue]
//   directory = /var/lib/quellix-publish   ; default $STATE_DIRECTORY, else ~/.local/state/quellix
//   readings = 86400                   ; per unit, 16 to 604800
//   [metrics]
//   listen = 127.0.0.1:9464            ; Prometheus /metrics; none when left out
//
// Blank lines and lines starting with ';' or '#' are comments; a value may be quoted. Unknown
// sections and keys, repeated keys and values out of range are refused with the line. A password
// never comes from the command line: a configuration holding one, a password file and a client key
// must not be readable by other users (the owner's group may read them).
#pragma once

#include "MqttClient.h"
#include "Payloads.h"

#include <QString>
#include <cstdint>
#include <optional>

namespace quellix {

struct PublishConfig {
    MqttSettings broker;
    UnitTopics topics; // without a unit
    bool discovery = true;
    QString queueDirectory;
    std::int64_t queueReadings = 0;
    QString metricsListen; // HOST:PORT, empty for none
};

// The configuration of a broker given by its URL alone (no password), with every default.
std::optional<PublishConfig> ConfigForBroker(const QString& url, QString* error);
// Reads and checks `path`. Nothing when it is not valid, with `error` naming the file, the line and
// what is wrong.
std::optional<PublishConfig> LoadPublishConfig(const QString& path, QString* error);

// "mqtt://HOST[:PORT]" or "mqtts://HOST[:PORT]" into `settings`; a user name may come with it, a
// password may not.
bool ParseBrokerUrl(const QString& url, MqttSettings& settings, QString* error);
// "HOST:PORT" for a listening socket: an address or name, "[::1]:9464" for IPv6.
bool ParseListenAddress(const QString& text, QString* host, quint16* port, QString* error);
// Where queues go by default: systemd's state directory of the service, else the user's.
QString DefaultQueueDirectory();

} // namespace quellix
