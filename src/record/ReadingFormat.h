// The one text form of a reading, shared by the window's recorder and export and the command line's
// `watch`: a CSV line (local ISO 8601 time with milliseconds and UTC offset, then per channel the raw
// value and the displayed value) with its header, and the same record as one line of JSON.
//
// Values never depend on the locale: "." is the decimal separator, numbers carry no padding, and a
// missing value (NoValue) or a disabled channel's displayed value is an empty field (null in JSON).
#pragma once

#include "ConfigBlock.h"
#include "Reading.h"

#include <QByteArray>
#include <QString>
#include <QTimeZone>
#include <array>
#include <optional>

namespace quellix {

// The channels' tags and units as the user reads them (the block's Windows-1252 texts in Unicode).
struct ChannelNames {
    std::array<QString, ChannelCount> tags;
    std::array<QString, ChannelCount> units;

    static ChannelNames FromBlock(const ConfigBlock& block);
    // "Boiler Flow (m3/h)"; "Channel 2" for a blank tag; no brackets for blank units.
    QString SeriesName(int channel) const;
    QString Tag(int channel) const;
};

// "2026-12-09T08:15:30.123+01:00". An invalid zone (the default) is the system's local time.
QByteArray ReadingTimeText(std::int64_t msecsSinceEpoch, const QTimeZone& zone = QTimeZone());

// The displayed value with the channel's decimals ("-0.05", "1234"); empty for NoValue and for a
// disabled channel.
QByteArray DisplayedValueText(std::int16_t value, std::uint8_t flags);
// The raw value as a plain integer; empty for NoValue.
QByteArray RawValueText(std::int16_t value);

// A CSV field in UTF-8, quoted only where it must be: a comma, a quote or a line break inside.
QByteArray CsvField(const QString& text);

// Column names, UTF-8, ending in "\n": Time, then per channel "<tag> raw" and "<tag> (<units>)".
// Control characters in the names are escaped ("\u001B"); names holding a comma or a quote are quoted
// as CSV quotes them.
QByteArray CsvHeader(const ChannelNames& names);
// One reading, ending in "\n": time, then raw and displayed value of channels 1 to 4.
QByteArray CsvLine(const Reading& reading, const QTimeZone& zone = QTimeZone());
// True when `line` (without its line break) is a header as CsvHeader writes it, whatever the names.
bool IsCsvHeader(const QByteArray& line);

// One compact JSON object ending in "\n" (keys in alphabetical order):
//   {"channels":[{"channel":1,"decimals":3,"raw":512,"value":0.740}, ...],"time":"2026-..."}
// "value" is the displayed value as a number in the channel's units, written with the channel's
// decimals as the CSV line writes it. "raw" and "value" are null when missing; a disabled channel has
// "disabled":true and a null value. With `names`, each channel also carries "tag" (named as the CSV
// header names it: "Channel 2" for a blank tag) and "units". With `stale`, the object also carries
// "stale": whether the values are gone for want of replies.
QByteArray JsonLine(const Reading& reading, const ChannelNames* names = nullptr,
                    const QTimeZone& zone = QTimeZone(), std::optional<bool> stale = std::nullopt);

} // namespace quellix
