// A JSON writer that keeps keys in the order they were added. QJsonDocument sorts an object's keys,
// which would put "calibration" before "tag"; the files people read and diff keep the order people read
// them in.
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace quellix {

// An ordered JSON value: a scalar already in JSON syntax, an object of named members, or an array of
// unnamed ones.
struct JsonNode {
    enum class Kind { Scalar, Object, Array };

    QByteArray key;
    QByteArray scalar;
    std::vector<JsonNode> members;
    Kind kind = Kind::Object;
    bool oneLine = false; // a small object or array on one line, as the calibration points

    JsonNode& add(const char* name, QByteArray value);
    JsonNode& addObject(const char* name, bool inLine = false);
    JsonNode& addArray(const char* name, bool inLine = false);
    // An array's elements.
    JsonNode& append(QByteArray value);
    JsonNode& appendObject(bool inLine = false);
};

// A text as a JSON string, quoted as the text form quotes it (QuotedText).
QByteArray JsonText(const QString& text);

// Two-space indent; a one-line root gives one line (for a log). No line break at the end.
QByteArray RenderJson(const JsonNode& root);

} // namespace quellix
