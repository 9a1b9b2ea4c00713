// STAND-IN for the recorder's reading formatter (ReadingFormat.h of the record library), which is not
// on this branch yet: the same names and signatures, so that `watch` switches to the real formatter by
// including ReadingFormat.h and linking quellix_record instead of this file. Only what `watch` uses.
#pragma once

#include "Charset.h"
#include "ConfigBlock.h"
#include "ConfigView.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <array>
#include <cstdint>

namespace quellix {

struct Reading {
    std::int64_t msecsSinceEpoch = 0;
    std::array<std::int16_t, 4> raw{};
    std::array<std::int16_t, 4> shown{};
    std::array<std::uint8_t, 4> flags{};
};

struct ChannelNames {
    std::array<QString, 4> tags;
    std::array<QString, 4> units;

    static ChannelNames FromBlock(const ConfigBlock& block) {
        ChannelNames names;
        for (int i = 0; i < 4; ++i) {
            names.tags[i] = ShortStringToText(block.TagName[i]);
            names.units[i] = ShortStringToText(block.UnitName[i]);
        }
        return names;
    }
};

inline QByteArray StubRaw(std::int16_t v) {
    return v == NoValue ? QByteArray() : QByteArray::number(v);
}

inline QByteArray StubShown(std::int16_t v, std::uint8_t flags) {
    return v == NoValue || (flags & FlagDisabled) ? QByteArray() : PlainValueText(v, flags).toUtf8();
}

inline QByteArray CsvHeader(const ChannelNames& names) {
    QByteArray header = "Time";
    for (int i = 0; i < 4; ++i)
        header += ',' + names.tags[i].toUtf8() + " raw," + names.tags[i].toUtf8();
    return header + '\n';
}

inline QByteArray CsvLine(const Reading& r) {
    QByteArray line = QDateTime::fromMSecsSinceEpoch(r.msecsSinceEpoch)
                          .toOffsetFromUtc(QDateTime::currentDateTime().offsetFromUtc())
                          .toString(Qt::ISODateWithMs)
                          .toUtf8();
    for (int i = 0; i < 4; ++i)
        line += ',' + StubRaw(r.raw[i]) + ',' + StubShown(r.shown[i], r.flags[i]);
    return line + '\n';
}

inline QByteArray JsonLine(const Reading& r, const ChannelNames* = nullptr) {
    QByteArray line = "{\"time\":\"" + CsvLine(r).split(',').first() + "\",\"raw\":[";
    for (int i = 0; i < 4; ++i)
        line += (i ? "," : "") + (r.raw[i] == NoValue ? QByteArray("null") : StubRaw(r.raw[i]));
    return line + "]}\n";
}

} // namespace quellix
