// The JSON Schema in data/ describes what the exporter writes: every exported document satisfies it,
// and every key the schema names is one the exporter writes.
#include "ConfigFields.h"
#include "ConfigJson.h"
#include "ConfigView.h"
#include "FixedPoint.h"

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

// The few keywords the schema uses: $ref (local), type, const, required, properties,
// additionalProperties, minimum, maximum, maxLength, pattern, allOf, if, then, else.
class MiniValidator {
public:
    explicit MiniValidator(QJsonObject schema) : root_(std::move(schema)) {}

    void check(const QJsonValue& value, const QJsonObject& schema, const QString& path) {
        if (schema.contains("$ref")) {
            const QString name = schema["$ref"].toString().section(u'/', -1);
            check(value, root_["$defs"].toObject()[name].toObject(), path);
            return;
        }
        for (const QJsonValue& part : schema["allOf"].toArray())
            check(value, part.toObject(), path);
        if (schema.contains("if")) {
            MiniValidator condition(root_);
            condition.check(value, schema["if"].toObject(), path);
            const char* branch = condition.errors.isEmpty() ? "then" : "else";
            check(value, schema[branch].toObject(), path);
        }
        if (schema.contains("const") && value != schema["const"])
            errors << path + ": not the constant";
        if (schema.contains("type")) {
            const QJsonValue type = schema["type"];
            const QJsonArray types = type.isArray() ? type.toArray() : QJsonArray{type};
            if (!types.contains(typeOf(value)) && !(typeOf(value) == "integer" && types.contains("number")))
                errors << path + ": type " + typeOf(value);
        }
        if (value.isDouble()) {
            if (schema.contains("minimum") && value.toDouble() < schema["minimum"].toDouble())
                errors << path + ": below minimum";
            if (schema.contains("maximum") && value.toDouble() > schema["maximum"].toDouble())
                errors << path + ": above maximum";
        }
        if (value.isString()) {
            if (schema.contains("maxLength") && value.toString().size() > schema["maxLength"].toInt())
                errors << path + ": too long";
            if (schema.contains("pattern") &&
                !QRegularExpression(schema["pattern"].toString()).match(value.toString()).hasMatch())
                errors << path + ": pattern";
        }
        if (value.isObject()) {
            const QJsonObject object = value.toObject();
            const QJsonObject properties = schema["properties"].toObject();
            for (const QJsonValue& key : schema["required"].toArray())
                if (!object.contains(key.toString()))
                    errors << path + "." + key.toString() + ": missing";
            for (auto it = object.begin(); it != object.end(); ++it) {
                const QString child = path.isEmpty() ? it.key() : path + "." + it.key();
                seen << child;
                if (properties.contains(it.key()))
                    check(it.value(), properties[it.key()].toObject(), child);
                else if (schema["additionalProperties"] == QJsonValue(false))
                    errors << child + ": not in the schema";
            }
        }
    }

    // Every key path the schema allows, through its references.
    void collect(const QJsonObject& schema, const QString& path, QSet<QString>& out) const {
        if (schema.contains("$ref")) {
            collect(root_["$defs"].toObject()[schema["$ref"].toString().section(u'/', -1)].toObject(), path,
                    out);
            return;
        }
        const QJsonObject properties = schema["properties"].toObject();
        for (auto it = properties.begin(); it != properties.end(); ++it) {
            const QString child = path.isEmpty() ? it.key() : path + "." + it.key();
            out << child;
            collect(it.value().toObject(), child, out);
        }
    }

    QStringList errors;
    QSet<QString> seen;

private:
    static QString typeOf(const QJsonValue& v) {
        switch (v.type()) {
        case QJsonValue::Null:
            return "null";
        case QJsonValue::Bool:
            return "boolean";
        case QJsonValue::Double:
            return v.toDouble() == std::trunc(v.toDouble()) ? "integer" : "number";
        case QJsonValue::String:
            return "string";
        case QJsonValue::Array:
            return "array";
        default:
            return "object";
        }
    }

    QJsonObject root_;
};

QJsonObject loadSchema() {
    QFile file(QStringLiteral(QUELLIX_SOURCE_DIR "/data/quellix-config.schema.json"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    return doc.object();
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
