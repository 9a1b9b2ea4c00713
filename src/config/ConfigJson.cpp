// Writing the text form, with its keys in the order people read them (OrderedJson.h).
#include "ConfigJson.h"

#include "Charset.h"
#include "ConfigFields.h"
#include "ConfigView.h"
#include "OrderedJson.h"

#include <algorithm>
#include <vector>

namespace quellix {

namespace {

using Node = JsonNode;

QByteArray quoted(const QString& text) {
    return QuotedText(text).toUtf8();
}

QByteArray number(long long n) {
    return QByteArray::number(n);
}

QByteArray boolean(bool b) {
    return b ? "true" : "false";
}

QByteArray hexByte(std::uint8_t b) {
    return QByteArray::number(b, 16).rightJustified(2, '0').toUpper();
}

QByteArray hexBytes(std::string_view bytes) {
    QByteArray out;
    for (const char c : bytes) {
        if (!out.isEmpty())
            out += ' ';
        out += hexByte(static_cast<std::uint8_t>(c));
    }
    return QByteArray("\"") + out + '"';
}

QByteArray rawValue(std::int16_t v) {
    return v == NoValue ? QByteArray("null") : number(v);
}

QByteArray displayedValue(std::int16_t v, std::uint8_t flags) {
    return v == NoValue ? QByteArray("null") : quoted(PlainValueText(v, flags));
}

void addPoint(Node& parent, const char* name, std::int16_t raw, std::int16_t value, std::uint8_t flags) {
    parent.addObject(name, true)
        .add(ConfigKey::Raw, rawValue(raw))
        .add(ConfigKey::Value, displayedValue(value, flags));
}

// The visible part of a short string is its text up to the first control character, which no one can
// see or type; the rest of the field goes to the hidden part, with the length byte where it differs.
template <std::size_t N> std::string_view visibleText(const ShortString<N>& s) {
    const std::string_view text = s.text();
    const auto control = std::find_if(text.begin(), text.end(), [](char c) { return IsC0Control(c); });
    return text.substr(0, std::size_t(control - text.begin()));
}

template <std::size_t N> QByteArray text(const ShortString<N>& s) {
    return quoted(FromWin1252(visibleText(s)));
}

template <std::size_t N> void addTextRest(Node& parent, const char* name, const ShortString<N>& s) {
    Node& node = parent.addObject(name, true);
    const std::size_t used = visibleText(s).size();
    if (s.Length != used)
        node.add(ConfigKey::Length, number(s.Length));
    node.add(ConfigKey::After, hexBytes(std::string_view(s.Chars + used, N - used)));
}

bool isControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// A control character as its escape: "\n", "\t", or "\u001B".
void appendEscape(QString& out, char16_t c) {
    if (c == u'\n')
        out += QStringLiteral("\\n");
    else if (c == u'\t')
        out += QStringLiteral("\\t");
    else
        out += QStringLiteral("\\u") + QString::number(uint(c), 16).rightJustified(4, u'0').toUpper();
}

} // namespace

QString EscapedControls(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        if (isControl(ch.unicode()))
            appendEscape(out, ch.unicode());
        else
            out += ch;
    }
    return out;
}

QString QuotedText(const QString& text) {
    QString out = QStringLiteral("\"");
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c == u'"' || c == u'\\') {
            out += u'\\';
            out += ch;
        } else if (isControl(c) || c == 0xA0 || c == 0xAD) {
            // Also the no-break space and the soft hyphen, which an editor or a terminal shows as nothing
            // or as a plain blank.
            appendEscape(out, c);
        } else {
            out += ch;
        }
    }
    return out + u'"';
}

QByteArray ConfigToJson(const ConfigBlock& block) {
    Node root;
    root.add(ConfigKey::Format, quoted("quellix-config")).add(ConfigKey::Version, number(1));
    root.add(ConfigKey::Header1, text(block.Header1)).add(ConfigKey::Header2, text(block.Header2));
    for (int i = 0; i < ChannelCount; ++i) {
        const std::uint8_t flags = block.ChannelFlags[i];
        const ChannelCalibration& cal = block.Calibration[i];
        Node& c = root.addObject(ChannelKeys[std::size_t(i)]);
        c.add(ConfigKey::Tag, text(block.TagName[i])).add(ConfigKey::Units, text(block.UnitName[i]));
        c.add(ConfigKey::Decimals, number(flags & FlagDecimalsMask))
            .add(ConfigKey::Disabled, boolean(flags & FlagDisabled));
        c.add(ConfigKey::Flags, QByteArray("\"0x") + hexByte(flags) + '"');
        addPoint(c, ConfigKey::Point1, cal.Measured1, cal.Calib1, flags);
        addPoint(c, ConfigKey::Point2, cal.Measured2, cal.Calib2, flags);
    }

    Node& hidden = root.addObject(ConfigKey::Hidden);
    hidden.add(ConfigKey::Reserved, number(block.Reserved));
    addTextRest(hidden, ConfigKey::Header1, block.Header1);
    addTextRest(hidden, ConfigKey::Header2, block.Header2);
    for (int i = 0; i < ChannelCount; ++i) {
        Node& c = hidden.addObject(ChannelKeys[std::size_t(i)]);
        addTextRest(c, ConfigKey::Tag, block.TagName[i]);
        addTextRest(c, ConfigKey::Units, block.UnitName[i]);
        addPoint(c, ConfigKey::LastReading, block.RawValue[i], block.MeasuredValue[i], block.ChannelFlags[i]);
        c.add(ConfigKey::ReservedA, number(block.ReservedA[i]))
            .add(ConfigKey::ReservedB, number(block.ReservedB[i]));
    }

    return RenderJson(root) + '\n';
}

} // namespace quellix
