// A check of JSON documents against the project's JSON Schemas in data/, enough for what those schemas
// say, and the key paths a schema names, so that a test can tell that a writer uses all of them.
#pragma once

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <gtest/gtest.h>

#include <cmath>

namespace quellix {

// The few keywords the project's schemas use: $ref (local), type, const, enum, required, properties,
// additionalProperties, items, minItems, minimum, maximum, maxLength, pattern, allOf, if, then, else.
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
        if (schema.contains("enum") && !schema["enum"].toArray().contains(value))
            errors << path + ": not one of the values allowed";
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
        if (value.isArray()) {
            const QJsonArray items = value.toArray();
            if (items.size() < schema["minItems"].toInt())
                errors << path + ": too few items";
            for (qsizetype i = 0; i < items.size(); ++i)
                check(items[i], schema["items"].toObject(), path + "[]");
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
        if (schema.contains("items"))
            collect(schema["items"].toObject(), path + "[]", out);
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

inline QJsonObject LoadJsonFile(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    return doc.object();
}

} // namespace quellix
