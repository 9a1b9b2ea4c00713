#include "Payloads.h"

#include "ConfigBlock.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace quellix {

namespace {

constexpr int MaxUnitIdLength = 64;

bool IsIdCharacter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
           c == u'-';
}

QString ObjectId(const UnitTopics& topics, int channel) {
    return QStringLiteral("quellix_%1_ch%2").arg(topics.unit).arg(channel);
}

} // namespace

bool IsValidUnitId(const QString& id) {
    return !id.isEmpty() && id.size() <= MaxUnitIdLength && std::all_of(id.begin(), id.end(), IsIdCharacter);
}

QString UnitIdFor(const QString& name) {
    QString id = name.trimmed().left(MaxUnitIdLength);
    for (QChar& c : id) {
        if (!IsIdCharacter(c))
            c = u'_';
    }
    return id;
}

bool IsValidTopicPrefix(const QString& prefix, QString* why) {
    QString reason;
    if (prefix.isEmpty())
        reason = QStringLiteral("is empty");
    else if (prefix.startsWith(u'$'))
        reason = QStringLiteral("starts with '$', which names the broker's own topics");
    else if (prefix.contains(u'+') || prefix.contains(u'#'))
        reason = QStringLiteral("holds a wildcard ('+' or '#')");
    else if (prefix.split(u'/').contains(QString()))
        reason = QStringLiteral("has an empty level (a leading, trailing or double '/')");
    else if (std::any_of(prefix.begin(), prefix.end(), [](QChar c) { return c.unicode() < 0x20; }))
        reason = QStringLiteral("holds a control character");
    if (why)
        *why = reason;
    return reason.isEmpty();
}

QString UnitTopics::Discovery(int channel) const {
    return discoveryPrefix + QStringLiteral("/sensor/") + ObjectId(*this, channel) +
           QStringLiteral("/config");
}

QByteArray StatePayload(const Reading& reading, const ChannelNames& names, bool stale,
                        const QTimeZone& zone) {
    QByteArray payload = JsonLine(reading, &names, zone, stale);
    payload.chop(1); // the line break
    return payload;
}

QByteArray DiscoveryPayload(const UnitTopics& topics, const UnitDescription& unit, int channel) {
    const std::uint8_t flags = unit.flags[static_cast<std::size_t>(channel - 1)];
    if (flags & FlagDisabled)
        return {};
    const QString id = ObjectId(topics, channel);
    QJsonObject device{
        {"identifiers", QJsonArray{QStringLiteral("quellix_") + topics.unit}},
        {"manufacturer", "Quellix"},
        {"model", "Panel display unit"},
        {"name", QStringLiteral("Quellix ") + topics.unit},
    };
    if (!unit.version.trimmed().isEmpty())
        device.insert("sw_version", unit.version.trimmed());
    QJsonObject config{
        {"availability", QJsonArray{QJsonObject{{"topic", topics.Availability()},
                                                {"payload_available", UnitOnline},
                                                {"payload_not_available", UnitOffline}}}},
        {"device", device},
        {"name", unit.names.Tag(channel)},
        {"object_id", id},
        {"state_class", "measurement"},
        {"state_topic", topics.State()},
        {"suggested_display_precision", flags & FlagDecimalsMask},
        {"unique_id", id},
        // Channels are 1 to 4, the state's array 0 to 3.
        {"value_template", QStringLiteral("{{ value_json.channels[%1].value }}").arg(channel - 1)},
    };
    const QString units = unit.names.units[static_cast<std::size_t>(channel - 1)].trimmed();
    if (!units.isEmpty())
        config.insert("unit_of_measurement", units);
    return QJsonDocument(config).toJson(QJsonDocument::Compact);
}

} // namespace quellix
