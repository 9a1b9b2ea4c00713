#include "ReadingFormat.h"

#include "Charset.h"
#include "ConfigJson.h"
#include "FixedPoint.h"

#include <QDateTime>

#include <cstdio>
#include <cstdlib>

namespace quellix {

namespace {

constexpr char TimeColumn[] = "Time";

bool Disabled(std::uint8_t flags) {
    return (flags & FlagDisabled) != 0;
}

int Decimals(std::uint8_t flags) {
    return flags & FlagDecimalsMask;
}

} // namespace

QByteArray CsvField(const QString& text) {
    QByteArray bytes = text.toUtf8();
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\n') && !bytes.contains('\r'))
        return bytes;
    bytes.replace('"', "\"\"");
    return '"' + bytes + '"';
}

ChannelNames ChannelNames::FromBlock(const ConfigBlock& block) {
    ChannelNames names;
    for (std::size_t i = 0; i < ChannelCount; ++i) {
        names.tags[i] = ShortStringToText(block.TagName[i]).trimmed();
        names.units[i] = ShortStringToText(block.UnitName[i]).trimmed();
    }
    return names;
}

QString ChannelNames::Tag(int channel) const {
    const QString& tag = tags[static_cast<std::size_t>(channel - 1)];
    return tag.trimmed().isEmpty() ? QStringLiteral("Channel %1").arg(channel) : tag.trimmed();
}

QString ChannelNames::SeriesName(int channel) const {
    const QString unit = units[static_cast<std::size_t>(channel - 1)].trimmed();
    return unit.isEmpty() ? Tag(channel) : Tag(channel) + QStringLiteral(" (") + unit + u')';
}

QByteArray ReadingTimeText(std::int64_t msecsSinceEpoch, const QTimeZone& zone) {
    const QDateTime time = zone.isValid() ? QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch, zone)
                                          : QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch, Qt::LocalTime);
    const QDate d = time.date();
    const QTime t = time.time();
    const int offset = time.offsetFromUtc();
    const int offsetMinutes = std::abs(offset) / 60;
    char text[40];
    const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", d.year(),
                                d.month(), d.day(), t.hour(), t.minute(), t.second(), t.msec(),
                                offset < 0 ? '-' : '+', offsetMinutes / 60, offsetMinutes % 60);
    return QByteArray(text, n);
}

// The window's own text of the value, without its alignment blanks.
QByteArray DisplayedValueText(std::int16_t value, std::uint8_t flags) {
    if (value == NoValue || Disabled(flags))
        return {};
    return QByteArray::fromStdString(FixedToText(value, flags)).trimmed();
}

QByteArray RawValueText(std::int16_t value) {
    if (value == NoValue)
        return {};
    return QByteArray::number(value);
}

// Control characters in a tag or units text are escaped: the header is also printed on a terminal.
QByteArray CsvHeader(const ChannelNames& names) {
    QByteArray header = TimeColumn;
    for (int n = 1; n <= ChannelCount; ++n) {
        header += ',' + CsvField(EscapedControls(names.Tag(n) + QStringLiteral(" raw")));
        header += ',' + CsvField(EscapedControls(names.SeriesName(n)));
    }
    return header + '\n';
}

QByteArray CsvLine(const Reading& reading, const QTimeZone& zone) {
    QByteArray line = ReadingTimeText(reading.msecsSinceEpoch, zone);
    line.reserve(line.size() + ChannelCount * 16 + 1);
    for (std::size_t i = 0; i < ChannelCount; ++i) {
        line += ',';
        line += RawValueText(reading.raw[i]);
        line += ',';
        line += DisplayedValueText(reading.shown[i], reading.flags[i]);
    }
    line += '\n';
    return line;
}

bool IsCsvHeader(const QByteArray& line) {
    // A spreadsheet that saved the file may have put a byte order mark in front.
    static const QByteArray bom("\xEF\xBB\xBF");
    const QByteArray text = line.startsWith(bom) ? line.mid(bom.size()) : line;
    return text.startsWith(QByteArray(TimeColumn) + ',');
}

// Written by hand rather than through QJsonDocument, which would turn 0.740 into 0.74: the value keeps
// the channel's decimals as the CSV line does.
QByteArray JsonLine(const Reading& reading, const ChannelNames* names, const QTimeZone& zone,
                    std::optional<bool> stale) {
    QByteArray line = "{\"channels\":[";
    for (std::size_t i = 0; i < ChannelCount; ++i) {
        const std::uint8_t flags = reading.flags[i];
        const int channel = static_cast<int>(i) + 1;
        if (i > 0)
            line += ',';
        line += "{\"channel\":" + QByteArray::number(channel);
        line += ",\"decimals\":" + QByteArray::number(Decimals(flags));
        if (Disabled(flags))
            line += ",\"disabled\":true";
        const QByteArray raw = RawValueText(reading.raw[i]);
        line += ",\"raw\":" + (raw.isEmpty() ? QByteArray("null") : raw);
        if (names) {
            line += ",\"tag\":" + QuotedText(names->Tag(channel)).toUtf8();
            line += ",\"units\":" + QuotedText(names->units[i]).toUtf8();
        }
        const QByteArray value = DisplayedValueText(reading.shown[i], flags);
        line += ",\"value\":" + (value.isEmpty() ? QByteArray("null") : value) + '}';
    }
    line += ']';
    if (stale)
        line += *stale ? ",\"stale\":true" : ",\"stale\":false";
    line += ",\"time\":\"" + ReadingTimeText(reading.msecsSinceEpoch, zone) + "\"}\n";
    return line;
}

} // namespace quellix
