#include "OrderedJson.h"

#include "ConfigJson.h"

namespace quellix {

namespace {

void render(const JsonNode& node, int depth, QByteArray& out) {
    if (node.kind == JsonNode::Kind::Scalar) {
        out += node.scalar;
        return;
    }
    const bool object = node.kind == JsonNode::Kind::Object;
    if (node.members.empty()) {
        out += object ? "{}" : "[]";
        return;
    }
    const QByteArray inner(2 * (depth + 1), ' ');
    out += object ? '{' : '[';
    out += node.oneLine ? (object ? " " : "") : "\n";
    for (std::size_t i = 0; i < node.members.size(); ++i) {
        if (!node.oneLine)
            out += inner;
        if (object)
            out += JsonText(QString::fromUtf8(node.members[i].key)) + ": ";
        render(node.members[i], depth + 1, out);
        if (i + 1 < node.members.size())
            out += node.oneLine ? ", " : ",\n";
    }
    if (node.oneLine)
        out += object ? " }" : "]";
    else
        out += '\n' + QByteArray(2 * depth, ' ') + (object ? '}' : ']');
}

JsonNode& push(std::vector<JsonNode>& members, const char* name, JsonNode::Kind kind, bool inLine) {
    members.push_back(JsonNode{name ? QByteArray(name) : QByteArray(), {}, {}, kind, inLine});
    return members.back();
}

} // namespace

JsonNode& JsonNode::add(const char* name, QByteArray value) {
    push(members, name, Kind::Scalar, false).scalar = std::move(value);
    return *this;
}

JsonNode& JsonNode::addObject(const char* name, bool inLine) {
    return push(members, name, Kind::Object, inLine);
}

JsonNode& JsonNode::addArray(const char* name, bool inLine) {
    return push(members, name, Kind::Array, inLine);
}

JsonNode& JsonNode::append(QByteArray value) {
    return add(nullptr, std::move(value));
}

JsonNode& JsonNode::appendObject(bool inLine) {
    return push(members, nullptr, Kind::Object, inLine);
}

QByteArray JsonText(const QString& text) {
    return QuotedText(text).toUtf8();
}

QByteArray RenderJson(const JsonNode& root) {
    QByteArray out;
    render(root, 0, out);
    return out;
}

} // namespace quellix
