// What the publisher sends about a unit over MQTT: its topics, one JSON state per reading, Home
// Assistant's discovery config per channel, and the availability texts.
//
//   PREFIX/UNIT/state          {"channels":[{"channel":1,"decimals":1,"raw":100,"tag":"Boiler Flow",
//                              "units":"m3/h","value":11.7},...],"stale":false,"time":"2026-...+01:00"}
//   PREFIX/UNIT/availability   "online" or "offline", retained
//   DISCOVERY/sensor/quellix_UNIT_chN/config   retained; an empty payload removes the sensor
#pragma once

#include "ReadingFormat.h"

#include <QByteArray>
#include <QString>
#include <QTimeZone>
#include <array>
#include <cstdint>

namespace quellix {

inline constexpr char UnitOnline[] = "online";
inline constexpr char UnitOffline[] = "offline";
inline constexpr char DefaultTopicPrefix[] = "quellix";
inline constexpr char DefaultDiscoveryPrefix[] = "homeassistant";

// A unit's id names its topics and Home Assistant objects: 1 to 64 letters, digits, '_' and '-'.
bool IsValidUnitId(const QString& id);
// The id for a name a person gave: every other character becomes '_' ("Boiler 1/A" gives "Boiler_1_A").
QString UnitIdFor(const QString& name);
// One or more topic levels without wildcards, empty levels or a leading '$' (the broker's own
// topics). False with `why` set for the user.
bool IsValidTopicPrefix(const QString& prefix, QString* why = nullptr);

// The topics of one unit.
struct UnitTopics {
    QString prefix = DefaultTopicPrefix;
    QString discoveryPrefix = DefaultDiscoveryPrefix;
    QString unit;

    QString State() const { return prefix + u'/' + unit + QStringLiteral("/state"); }
    QString Availability() const { return prefix + u'/' + unit + QStringLiteral("/availability"); }
    // Home Assistant's config topic of channel 1 to 4.
    QString Discovery(int channel) const;
    // Where Home Assistant says "online" when it starts: every config is sent again then.
    QString DiscoveryStatus() const { return discoveryPrefix + QStringLiteral("/status"); }
};

// One reading as the state topic carries it: the reading's JSON line with the channels' names and
// the stale mark, without the line break. Stale readings have null values.
QByteArray StatePayload(const Reading& reading, const ChannelNames& names, bool stale,
                        const QTimeZone& zone = QTimeZone());

// What Home Assistant is told about a unit.
struct UnitDescription {
    ChannelNames names;
    std::array<std::uint8_t, 4> flags{}; // decimals and disabled mark per channel
    QString version;                     // the unit's version text
};

// Channel 1 to 4's retained discovery config; empty (which removes the sensor) for a disabled
// channel.
QByteArray DiscoveryPayload(const UnitTopics& topics, const UnitDescription& unit, int channel);

} // namespace quellix
