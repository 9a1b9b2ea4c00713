// What the publisher sends: a reading's state, Home Assistant's discovery configs, and which unit ids
// and topic prefixes are taken.
#include "Payloads.h"

#include "TestReadings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace quellix {

namespace {

TEST(StatePayload, NamesValuesInTheirDecimalsAndTheStaleMark) {
    ChannelNames names;
    names.tags = {"Boiler Flow", "Return \"Temp\"", "", "Level"};
    names.units = {"m3/h", "°C", "bar", ""};
    Reading r = TestReading(512);
    EXPECT_EQ(
        StatePayload(r, names, false, QTimeZone(3600)).toStdString(),
        R"({"channels":[{"channel":1,"decimals":1,"raw":512,"tag":"Boiler Flow","units":"m3/h","value":-51.2},)"
        R"({"channel":2,"decimals":2,"raw":513,"tag":"Return \"Temp\"","units":"°C","value":12.34},)"
        R"({"channel":3,"decimals":3,"disabled":true,"raw":7,"tag":"Channel 3","units":"bar","value":null},)"
        R"({"channel":4,"decimals":0,"raw":null,"tag":"Level","units":"","value":5}],"stale":false,)"
        R"("time":"2026-12-09T09:24:02.123+01:00"})");
    r.shown.fill(NoValue);
    EXPECT_TRUE(StatePayload(r, names, true).contains(R"("value":null}],"stale":true,"time")"));
}

TEST(DiscoveryPayload, ASensorPerEnabledChannelAndAnEmptyConfigForADisabledOne) {
    UnitTopics topics;
    topics.prefix = "plant/line1";
    topics.unit = "boiler";
    UnitDescription unit;
    unit.names.tags = {"Flow", "", "Press", "Level"};
    unit.names.units = {"m3/h", "°C", "bar", ""};
    unit.flags = {1, 2, 0x43, 0};
    unit.version = "QX-4 V2.10 ";
    EXPECT_EQ(topics.Discovery(2).toStdString(), "homeassistant/sensor/quellix_boiler_ch2/config");
    const QJsonObject c = QJsonDocument::fromJson(DiscoveryPayload(topics, unit, 2)).object();
    const std::pair<const char*, QJsonValue> expected[] = {
        {"name", "Channel 2"},
        {"unit_of_measurement", "°C"},
        {"state_topic", "plant/line1/boiler/state"},
        {"value_template", "{{ value_json.channels[1].value }}"},
        {"unique_id", "quellix_boiler_ch2"},
        {"suggested_display_precision", 2},
        {"availability", QJsonArray{QJsonObject{{"topic", "plant/line1/boiler/availability"},
                                                {"payload_available", "online"},
                                                {"payload_not_available", "offline"}}}},
    };
    for (const auto& [key, value] : expected)
        EXPECT_EQ(c.value(key), value) << key;
    EXPECT_EQ(c.value("device").toObject(), (QJsonObject{{"identifiers", QJsonArray{"quellix_boiler"}},
                                                         {"manufacturer", "Quellix"},
                                                         {"model", "Panel display unit"},
                                                         {"name", "Quellix boiler"},
                                                         {"sw_version", "QX-4 V2.10"}}));
    EXPECT_TRUE(DiscoveryPayload(topics, unit, 3).isEmpty());
    EXPECT_FALSE(
        QJsonDocument::fromJson(DiscoveryPayload(topics, unit, 4)).object().contains("unit_of_measurement"));
}

TEST(TopicLevels, UnitIdsAndPrefixes) {
    EXPECT_EQ(UnitIdFor(" Boiler 1/A#+ "), "Boiler_1_A__");
    for (const QString& bad : {QString(), QString("a b"), QString("a/b"), QString("é"), QString(65, u'a')})
        EXPECT_FALSE(IsValidUnitId(bad)) << bad.toStdString();
    EXPECT_TRUE(IsValidTopicPrefix("plant/line 1/quellix"));
    for (const QString bad : {"", "$SYS", "a/+/b", "a/#", "/a", "a/", "a//b", "a\tb"})
        EXPECT_FALSE(IsValidTopicPrefix(bad)) << bad.toStdString();
}

} // namespace

} // namespace quellix
