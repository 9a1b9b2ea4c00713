// The JSON Schema in data/ describes what the exporter writes: every exported document satisfies it,
// and every key the schema names is one the exporter writes.
#include "ConfigFields.h"
#include "ConfigJson.h"
#include "ConfigView.h"
#include "FixedPoint.h"
#include "JsonSchemaCheck.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace quellix {

namespace {

QJsonObject loadSchema() {
    return LoadJsonFile(QStringLiteral(QUELLIX_SOURCE_DIR "/data/quellix-config.schema.json"));
}

} // namespace

TEST(SchemaTest, ExportedDocumentsSatisfyTheSchemaAndUseAllOfIt) {
    const QJsonObject schema = loadSchema();
    MiniValidator validator(schema);
    std::mt19937 rng(5);
    for (int run = 0; run < 200; ++run) {
        ConfigBlock block = DefaultBlock();
        if (run > 0)
            for (std::size_t i = 0; i < ConfigBlockSize; ++i)
                BlockBytes(block)[i] = static_cast<std::uint8_t>(rng());
        validator.check(QJsonDocument::fromJson(ConfigToJson(block)).object(), schema, {});
    }
    EXPECT_TRUE(validator.errors.isEmpty()) << validator.errors.mid(0, 10).join("\n").toStdString();

    QSet<QString> named;
    validator.collect(schema, {}, named);
    EXPECT_EQ(named, validator.seen);
}

// The schema names exactly the keys of the one table the export, the import and the comparison follow.
TEST(SchemaTest, NamesTheKeysOfTheFieldTable) {
    QSet<QString> table;
    const auto add = [&table](const QString& parent, const auto& keys) {
        for (const char* key : keys)
            table << (parent.isEmpty() ? QString(key) : parent + "." + key);
    };
    add({}, TopKeys);
    add("hidden", HiddenKeys);
    for (const char* header : {ConfigKey::Header1, ConfigKey::Header2})
        add(QString("hidden.") + header, TextRestKeys);
    for (const char* channel : ChannelKeys) {
        add(channel, ChannelFieldKeys);
        add(channel + QString(".point1"), PointKeys);
        add(channel + QString(".point2"), PointKeys);
        const QString hidden = QString("hidden.") + channel;
        add(hidden, HiddenChannelKeys);
        add(hidden + ".tag", TextRestKeys);
        add(hidden + ".units", TextRestKeys);
        add(hidden + ".lastReading", PointKeys);
    }
    const QJsonObject schema = loadSchema();
    QSet<QString> named;
    MiniValidator(schema).collect(schema, {}, named);
    EXPECT_EQ(named, table);
}

// The demo's unit (scripts/run imports it) is a valid text form of the small plant it shows.
TEST(SchemaTest, TheDemoUnitImports) {
    QFile file(QStringLiteral(QUELLIX_SOURCE_DIR "/data/demo-unit.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray json = file.readAll();
    const std::optional<ConfigBlock> block = ConfigFromJson(json);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->TagName[3].text(), "Tank Level");
    const QJsonObject schema = loadSchema();
    MiniValidator validator(schema);
    validator.check(QJsonDocument::fromJson(json).object(), schema, {});
    EXPECT_TRUE(validator.errors.isEmpty()) << validator.errors.join("\n").toStdString();
}

} // namespace quellix

namespace quellix {

// What the import refuses, the schema refuses too, where a schema can say it.
TEST(SchemaTest, RefusesWhatTheImportRefuses) {
    const QJsonObject schema = loadSchema();
    const std::pair<const char*, const char*> edits[] = {
        {"\"Tag 1\"", "\"Pump \u2192 1\""},             // no place in Windows-1252
        {"\"Tag 2\"", "\"Pump\\u001b[2J\""},            // a control character
        {"\"flags\": \"0x02\"", "\"flags\": \"0x03\""}, // decimals 3, the channel's are 2
        {"\"flags\": \"0x03\"", "\"flags\": \"0x43\""}, // disabled, the channel is not
        {"\"10.0\"", "\"10.05\""},                      // more decimals than the channel's 1
        {"\"100.0\"", "\"3276.8\""},                    // beyond 32767 once scaled
        {"\"after\": \"00 00 00 00 00 00 00 00 00\"", "\"after\": \"00 00 00 00 00 00 00 00 00 00 00 00 00 "
                                                      "00 00 00 00 00 00 00 00\""},
    };
    for (const auto& [from, to] : edits) {
        SCOPED_TRACE(to);
        const QByteArray json = ConfigToJson(DefaultBlock()).replace(from, to);
        ASSERT_FALSE(ConfigFromJson(json));
        MiniValidator validator(schema);
        validator.check(QJsonDocument::fromJson(json).object(), schema, {});
        EXPECT_FALSE(validator.errors.isEmpty());
    }
}

// A value in 0 to 3 decimals matches its pattern exactly when the import takes it.
TEST(SchemaTest, ValuePatternsTakeWhatTheImportTakes) {
    const QJsonObject defs = loadSchema()["$defs"].toObject();
    for (int d = 0; d <= 3; ++d) {
        const QRegularExpression pattern(defs[QString("value%1").arg(d)].toObject()["pattern"].toString());
        for (int v = -32767; v <= 32767; v += std::abs(v) > 32700 ? 1 : 7)
            ASSERT_TRUE(pattern.match(PlainValueText(std::int16_t(v), std::uint8_t(d))).hasMatch()) << v;
        for (const char* text : {"32768", "3276.8", "327.68", "32.768", "0.0001", "1.5", "-", "1.", ".5"})
            EXPECT_EQ(pattern.match(QString::fromLatin1(text)).hasMatch(),
                      ExactTextToFixed(text, d).has_value())
                << d << " " << text;
    }
}

} // namespace quellix
