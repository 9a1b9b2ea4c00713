// Reading the text form: every key, type, range and text is checked, and the first fault found is
// reported with its key path. Nothing of the block is returned unless all of it is valid.
#include "ConfigJson.h"

#include "Charset.h"
#include "ConfigFields.h"
#include "FixedPoint.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <span>
#include <vector>

namespace quellix {

namespace {

// The first fault ends the whole import; it is thrown from deep in the readers and caught at the top.
struct Failure {
    QString path;
    QString reason;
};

[[noreturn]] void fail(const QString& path, const QString& reason) {
    throw Failure{path, reason};
}

// A key path; a key that is not a plain name (an unknown key from the file) is shown quoted.
QString join(const QString& parent, const QString& key) {
    const bool plain = !key.isEmpty() && key.size() <= 40 && std::all_of(key.begin(), key.end(), [](QChar c) {
        return c.unicode() < 0x80 && (std::isalnum(c.unicode()) || c == u'_');
    });
    const QString shown = plain ? key : QuotedExcerpt(key);
    return parent.isEmpty() ? shown : parent + u'.' + shown;
}

QString position(const QByteArray& json, qsizetype offset);

// The index of the quote that ends the string starting at `open`, and in `control` the first control
// character in it as it is (-1 when none).
qsizetype stringEnd(const QByteArray& json, qsizetype open, qsizetype& control) {
    control = -1;
    qsizetype i = open + 1;
    for (; i < json.size() && json[i] != '"'; ++i) {
        if (json[i] == '\\')
            ++i;
        else if (control < 0 && IsC0Control(json[i]))
            control = i;
    }
    return i;
}

// What QJsonDocument lets through is looked for in the text itself (already known to parse): it keeps
// the last of repeated keys without a word, which in a file edited by hand would silently drop a value,
// and it takes control characters inside strings as they are, which JSON forbids.
void checkText(const QByteArray& json) {
    struct Level {
        bool object;
        QString path;
        QSet<QString> keys;
        QString lastKey;
        int index = 0;
    };
    std::vector<Level> levels;
    auto childPath = [&levels]() -> QString {
        if (levels.empty())
            return {};
        const Level& up = levels.back();
        return up.object ? join(up.path, up.lastKey) : up.path + QStringLiteral("[%1]").arg(up.index);
    };
    auto skipBlanks = [&json](qsizetype i) {
        while (i < json.size() && std::string_view(" \t\r\n").find(json[i]) != std::string_view::npos)
            ++i;
        return i;
    };
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (c == '{' || c == '[') {
            levels.push_back(Level{c == '{', childPath(), {}, {}, 0});
        } else if ((c == '}' || c == ']') && !levels.empty()) {
            levels.pop_back();
        } else if (c == ',' && !levels.empty() && !levels.back().object) {
            ++levels.back().index;
        } else if (c == '"') {
            const qsizetype start = i;
            qsizetype control = -1;
            i = stringEnd(json, start, control);
            const qsizetype after = skipBlanks(i + 1);
            const bool isKey =
                after < json.size() && json[after] == ':' && !levels.empty() && levels.back().object;
            if (control >= 0)
                fail(isKey ? levels.back().path : childPath(),
                     position(json, control) +
                         QStringLiteral(": a control character (U+%1) as it is inside a string, which JSON "
                                        "allows only written as an escape")
                             .arg(int(uchar(json[control])), 4, 16, QChar(u'0')));
            if (!isKey)
                continue;
            const QByteArray literal = '[' + json.mid(start, i - start + 1) + ']';
            const QString key = QJsonDocument::fromJson(literal).array().at(0).toString();
            Level& level = levels.back();
            if (level.keys.contains(key))
                fail(join(level.path, key), QStringLiteral("appears twice"));
            level.keys.insert(key);
            level.lastKey = key;
        }
    }
}

// An object whose keys must all be among `allowed`.
class Object {
public:
    Object(const QJsonValue& value, QString path, std::span<const char* const> allowed)
        : path_(std::move(path)) {
        if (!value.isObject())
            fail(path_, path_.isEmpty() ? QStringLiteral("the document must be a JSON object")
                                        : QStringLiteral("must be an object"));
        object_ = value.toObject();
        for (const QString& key : object_.keys()) {
            const bool known = std::any_of(allowed.begin(), allowed.end(),
                                           [&key](const char* name) { return key == QLatin1String(name); });
            if (!known)
                fail(at(key), QStringLiteral("unknown key"));
        }
    }
    QString at(const QString& key) const { return join(path_, key); }
    bool has(const char* key) const { return object_.contains(QLatin1String(key)); }
    QJsonValue get(const char* key) const { return object_.value(QLatin1String(key)); }
    QJsonValue required(const char* key) const {
        if (!has(key))
            fail(at(key), QStringLiteral("missing"));
        return get(key);
    }

private:
    QString path_;
    QJsonObject object_;
};

long long readInteger(const QJsonValue& v, const QString& path, long long min, long long max,
                      const char* extra = "") {
    const QString range =
        QStringLiteral("must be a whole number from %1 to %2%3").arg(min).arg(max).arg(extra);
    if (!v.isDouble())
        fail(path, range);
    const double d = v.toDouble();
    if (d != std::trunc(d) || d < double(min) || d > double(max))
        fail(path, range);
    return static_cast<long long>(d);
}

bool readBool(const QJsonValue& v, const QString& path) {
    if (!v.isBool())
        fail(path, QStringLiteral("must be true or false"));
    return v.toBool();
}

QString readString(const QJsonValue& v, const QString& path) {
    if (!v.isString())
        fail(path, QStringLiteral("must be a string"));
    return v.toString();
}

// The character at `at` for a message: itself when it can be seen, and its code point.
QString describeCharacter(const QString& text, qsizetype at) {
    char32_t cp = text[at].unicode();
    if (text[at].isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate())
        cp = QChar::surrogateToUcs4(text[at], text[at + 1]);
    const QString code =
        QStringLiteral("U+") + QString::number(uint(cp), 16).rightJustified(4, u'0').toUpper();
    if (!QChar::isPrint(cp))
        return code;
    return QuotedExcerpt(QString::fromUcs4(&cp, 1)) + QStringLiteral(" (") + code + u')';
}

std::string readText(const QJsonValue& v, const QString& path, std::size_t capacity) {
    QString reason;
    std::optional<std::string> bytes = FieldTextBytes(readString(v, path), capacity, &reason);
    if (!bytes)
        fail(path, reason);
    return std::move(*bytes);
}

std::int16_t readRaw(const QJsonValue& v, const QString& path) {
    if (v.isNull())
        return NoValue;
    return static_cast<std::int16_t>(readInteger(v, path, -32767, 32767, ", or null for no value"));
}

std::int16_t readValue(const QJsonValue& v, const QString& path, int decimals) {
    if (v.isNull())
        return NoValue;
    if (!v.isString())
        fail(path,
             QStringLiteral("must be a number written as a string, such as \"12.5\", or null for no value"));
    const QString text = v.toString();
    ExactTextError why{};
    const std::optional<std::int16_t> value = ExactTextToFixed(text.toStdString(), decimals, &why);
    if (value)
        return *value;
    switch (why) {
    case ExactTextError::NotANumber:
        fail(path, QStringLiteral("%1 is not a number written with digits, an optional \"-\" and \".\"")
                       .arg(QuotedExcerpt(text)));
    case ExactTextError::TooManyDecimals:
        fail(path, QStringLiteral("%1 has more decimal places than the channel's %2")
                       .arg(QuotedExcerpt(text))
                       .arg(decimals));
    case ExactTextError::OutOfRange:
        break;
    }
    const QString limit = QString::fromStdString(FixedToText(32767, std::uint8_t(decimals))).trimmed();
    fail(path, QStringLiteral("%1 is outside -%2..%2 for %3 decimal places")
                   .arg(QuotedExcerpt(text), limit)
                   .arg(decimals));
}

// Two hex digits, strictly: no sign, no blanks.
std::optional<std::uint8_t> hexPair(QStringView two) {
    if (two.size() != 2 || !std::all_of(two.begin(), two.end(),
                                        [](QChar c) { return c.unicode() < 0x80 && isxdigit(c.unicode()); }))
        return std::nullopt;
    return static_cast<std::uint8_t>(two.toUInt(nullptr, 16));
}

std::uint8_t readFlags(const QJsonValue& v, const QString& path) {
    const QString text = v.isString() ? v.toString() : QString();
    const std::optional<std::uint8_t> byte =
        text.startsWith(QLatin1String("0x")) ? hexPair(QStringView(text).mid(2)) : std::nullopt;
    if (!byte)
        fail(path, QStringLiteral("must be a byte written as \"0x\" and two hex digits, such as \"0x41\""));
    return *byte;
}

std::string readHex(const QJsonValue& v, const QString& path, std::size_t capacity) {
    const QString text = readString(v, path);
    std::string bytes;
    for (const QString& group : text.split(u' ', Qt::SkipEmptyParts)) {
        for (qsizetype i = 0; i < group.size(); i += 2) {
            const std::optional<std::uint8_t> b = hexPair(QStringView(group).mid(i, 2));
            if (!b)
                fail(path, QStringLiteral("must be bytes in hex, such as \"00 4A 20\""));
            bytes += static_cast<char>(*b);
        }
    }
    if (bytes.size() > capacity)
        fail(path, QStringLiteral("holds %1 bytes; the field holds %2").arg(bytes.size()).arg(capacity));
    return bytes;
}

// A text field as the file describes it: its characters, the bytes after them up to the field's end,
// and a length byte above the capacity.
struct TextField {
    std::string text;
    std::string after;
    std::optional<std::uint8_t> length;
};

// A length byte other than the text's own goes on past the visible text: into a field full of it (a
// byte above the capacity), or into "after" where that begins with a control character, which the
// visible text cannot hold. Anything else would hide characters the window shows.
void readTextRest(const QJsonValue& v, const QString& path, std::size_t capacity, TextField& field) {
    const Object rest(v, path, TextRestKeys);
    if (rest.has(ConfigKey::After))
        field.after = readHex(rest.get(ConfigKey::After), rest.at(ConfigKey::After), capacity);
    if (!rest.has(ConfigKey::Length))
        return;
    const std::size_t used = field.text.size();
    const auto length = static_cast<std::size_t>(
        readInteger(rest.get(ConfigKey::Length), rest.at(ConfigKey::Length), 0, 255));
    const std::size_t start = capacity - field.after.size(); // where "after" begins in the field
    const bool control = used < capacity && (start > used || IsC0Control(field.after[used - start]));
    if (length < used || (length > used && used < capacity && !control))
        fail(rest.at(ConfigKey::Length),
             QStringLiteral("%1 does not fit the text of %2 bytes: a longer length needs a text that fills "
                            "the field, or \"after\" going on from the text with a control character")
                 .arg(length)
                 .arg(used));
    field.length = static_cast<std::uint8_t>(length);
}

// The bytes after the text are placed at the end of the field, so that a text edited longer or shorter
// still keeps them where they were; the text is then stored over the field's start, as the window does.
template <std::size_t N> void store(ShortString<N>& s, const TextField& field) {
    std::memset(s.Chars, 0, N);
    std::memcpy(s.Chars + N - field.after.size(), field.after.data(), field.after.size());
    s.assign(field.text);
    if (field.length)
        s.Length = *field.length;
}

struct Channel {
    TextField tag;
    TextField units;
    std::uint8_t flags = 0;
};

void readPoint(const QJsonValue& v, const QString& path, int decimals, bool optional, std::int16_t& raw,
               std::int16_t& value) {
    const Object point(v, path, PointKeys);
    if (!optional || point.has(ConfigKey::Raw))
        raw = readRaw(point.required(ConfigKey::Raw), point.at(ConfigKey::Raw));
    if (!optional || point.has(ConfigKey::Value))
        value = readValue(point.required(ConfigKey::Value), point.at(ConfigKey::Value), decimals);
}

void readChannel(const Object& root, int n, ConfigBlock& block, Channel& channel) {
    namespace Key = ConfigKey;
    const int i = n - 1;
    const char* key = ChannelKeys[std::size_t(i)];
    const Object c(root.required(key), root.at(QLatin1String(key)), ChannelFieldKeys);
    channel.tag.text = readText(c.required(Key::Tag), c.at(Key::Tag), 20);
    channel.units.text = readText(c.required(Key::Units), c.at(Key::Units), 10);
    const int decimals = int(readInteger(c.required(Key::Decimals), c.at(Key::Decimals), 0, 3));
    const bool disabled = readBool(c.required(Key::Disabled), c.at(Key::Disabled));
    channel.flags = static_cast<std::uint8_t>(decimals | (disabled ? FlagDisabled : 0));
    if (c.has(Key::Flags)) {
        const std::uint8_t flags = readFlags(c.get(Key::Flags), c.at(Key::Flags));
        const int heldDecimals = flags & FlagDecimalsMask;
        const bool heldDisabled = (flags & FlagDisabled) != 0;
        if (heldDecimals != decimals || heldDisabled != disabled)
            fail(c.at(Key::Flags),
                 QStringLiteral("%1 holds decimals %2 and disabled %3, but the channel says decimals %4 and "
                                "disabled %5; change both, or leave \"flags\" out")
                     .arg(QuotedExcerpt(c.get(Key::Flags).toString()))
                     .arg(heldDecimals)
                     .arg(heldDisabled ? "true" : "false")
                     .arg(decimals)
                     .arg(disabled ? "true" : "false"));
        channel.flags = flags;
    }
    block.ChannelFlags[i] = channel.flags;
    ChannelCalibration& cal = block.Calibration[i];
    readPoint(c.required(Key::Point1), c.at(Key::Point1), decimals, false, cal.Measured1, cal.Calib1);
    readPoint(c.required(Key::Point2), c.at(Key::Point2), decimals, false, cal.Measured2, cal.Calib2);
}

void readHiddenChannel(const Object& hidden, int n, ConfigBlock& block, Channel& channel) {
    namespace Key = ConfigKey;
    const int i = n - 1;
    const char* key = ChannelKeys[std::size_t(i)];
    if (!hidden.has(key))
        return;
    const Object c(hidden.get(key), hidden.at(QLatin1String(key)), HiddenChannelKeys);
    if (c.has(Key::Tag))
        readTextRest(c.get(Key::Tag), c.at(Key::Tag), 20, channel.tag);
    if (c.has(Key::Units))
        readTextRest(c.get(Key::Units), c.at(Key::Units), 10, channel.units);
    if (c.has(Key::LastReading))
        readPoint(c.get(Key::LastReading), c.at(Key::LastReading), channel.flags & FlagDecimalsMask, true,
                  block.RawValue[i], block.MeasuredValue[i]);
    if (c.has(Key::ReservedA))
        block.ReservedA[i] = static_cast<std::int16_t>(
            readInteger(c.get(Key::ReservedA), c.at(Key::ReservedA), -32768, 32767));
    if (c.has(Key::ReservedB))
        block.ReservedB[i] = static_cast<std::int16_t>(
            readInteger(c.get(Key::ReservedB), c.at(Key::ReservedB), -32768, 32767));
}

QString position(const QByteArray& json, qsizetype offset) {
    const QByteArray before = json.left(offset);
    const qsizetype lineStart = before.lastIndexOf('\n') + 1;
    return QStringLiteral("line %1, column %2")
        .arg(before.count('\n') + 1)
        .arg(QString::fromUtf8(before.mid(lineStart)).size() + 1);
}

ConfigBlock readDocument(QByteArray json) {
    if (json.startsWith("\xEF\xBB\xBF"))
        json.remove(0, 3);
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError)
        fail({}, position(json, parse.offset) + QStringLiteral(": ") + parse.errorString());
    checkText(json);

    namespace Key = ConfigKey;
    ConfigBlock block = DefaultBlock();
    const Object root(document.isObject() ? QJsonValue(document.object()) : QJsonValue(), {}, TopKeys);
    if (readString(root.required(Key::Format), root.at(Key::Format)) != QLatin1String("quellix-config"))
        fail(root.at(Key::Format), QStringLiteral("must be \"quellix-config\""));
    if (root.required(Key::Version) != QJsonValue(1))
        fail(root.at(Key::Version), QStringLiteral("must be 1, the one version of this form"));

    TextField header1{readText(root.required(Key::Header1), root.at(Key::Header1), 20), {}, {}};
    TextField header2{readText(root.required(Key::Header2), root.at(Key::Header2), 20), {}, {}};
    Channel channels[ChannelCount];
    for (int n = 1; n <= ChannelCount; ++n)
        readChannel(root, n, block, channels[n - 1]);

    if (root.has(Key::Hidden)) {
        const Object hidden(root.get(Key::Hidden), root.at(Key::Hidden), HiddenKeys);
        if (hidden.has(Key::Reserved))
            block.Reserved = static_cast<std::uint32_t>(
                readInteger(hidden.get(Key::Reserved), hidden.at(Key::Reserved), 0, 0xFFFFFFFFLL));
        if (hidden.has(Key::Header1))
            readTextRest(hidden.get(Key::Header1), hidden.at(Key::Header1), 20, header1);
        if (hidden.has(Key::Header2))
            readTextRest(hidden.get(Key::Header2), hidden.at(Key::Header2), 20, header2);
        for (int n = 1; n <= ChannelCount; ++n)
            readHiddenChannel(hidden, n, block, channels[n - 1]);
    }

    store(block.Header1, header1);
    store(block.Header2, header2);
    for (int i = 0; i < ChannelCount; ++i) {
        store(block.TagName[i], channels[i].tag);
        store(block.UnitName[i], channels[i].units);
    }
    return block;
}

} // namespace

QString QuotedExcerpt(const QString& text) {
    constexpr qsizetype MaxShown = 40;
    if (text.size() <= MaxShown)
        return QuotedText(text);
    const qsizetype cut = text[MaxShown - 1].isHighSurrogate() ? MaxShown - 1 : MaxShown;
    return QuotedText(text.left(cut)) + QStringLiteral("\u2026");
}

std::optional<std::string> FieldTextBytes(const QString& text, std::size_t capacity, QString* reason) {
    const auto refuse = [reason](const QString& why) -> std::optional<std::string> {
        if (reason)
            *reason = why;
        return std::nullopt;
    };
    if (const auto control = std::find_if(text.begin(), text.end(),
                                          [](QChar c) { return IsC0Control(char32_t(c.unicode())); });
        control != text.end())
        return refuse(describeCharacter(text, control - text.begin()) +
                      QStringLiteral(" is a control character, which a text of the window cannot hold"));
    qsizetype bad = 0;
    std::optional<std::string> bytes = ToWin1252Exact(text, &bad);
    if (!bytes)
        return refuse(describeCharacter(text, bad) +
                      QStringLiteral(" cannot be stored: Windows-1252 has no such character"));
    if (bytes->size() > capacity)
        return refuse(QStringLiteral("%1 is %2 bytes; the field holds %3")
                          .arg(QuotedExcerpt(text))
                          .arg(bytes->size())
                          .arg(capacity));
    return bytes;
}

std::optional<ConfigBlock> ConfigFromJson(const QByteArray& json, ConfigJsonError* error) {
    try {
        return readDocument(json);
    } catch (const Failure& failure) {
        if (error)
            *error = ConfigJsonError{failure.path, failure.reason};
        return std::nullopt;
    }
}

} // namespace quellix
