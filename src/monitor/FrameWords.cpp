#include "FrameWords.h"

#include "Charset.h"
#include "ConfigBlock.h"
#include "FixedPoint.h"
#include "Frames.h"

#include <QStringList>

namespace quellix {

namespace {

QString number(std::size_t n) {
    return QString::number(static_cast<qulonglong>(n));
}

// Two upper-case hex digits.
QString hexPair(unsigned value) {
    return QString::number(value, 16).toUpper().rightJustified(2, u'0');
}

QString byteHex(std::uint8_t b) {
    return QStringLiteral("0x") + hexPair(b);
}

// A raw reading or calibration point: a plain integer, "---" for NoValue.
QString rawText(std::int16_t v) {
    return QString::fromStdString(FixedToText(v, 0)).trimmed();
}

// A displayed value with the channel's decimals. Unlike the window, a disabled channel's value is
// shown: the monitor tells what is on the line.
QString shownText(std::int16_t v, std::uint8_t flags) {
    return QString::fromStdString(FixedToText(v, flags & FlagDecimalsMask)).trimmed();
}

std::int16_t int16At(std::string_view payload, std::size_t offset) {
    const auto lo = static_cast<std::uint8_t>(payload[offset]);
    const auto hi = static_cast<std::uint8_t>(payload[offset + 1]);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
}

// A text between quotes; control characters, which would vanish or break the line, as \xNN.
QString quoted(std::string_view bytes) {
    QString text = QStringLiteral("'");
    for (const QChar c : FromWin1252(bytes)) {
        if (c.category() == QChar::Other_Control)
            text += QStringLiteral("\\x") + hexPair(c.unicode());
        else
            text += c;
    }
    return text + u'\'';
}

QString letterText(char letter) {
    const auto b = static_cast<std::uint8_t>(letter);
    if (b > 0x20 && b < 0x7F)
        return QStringLiteral("'%1'").arg(QLatin1Char(letter));
    return byteHex(b);
}

QString itemName(std::uint8_t code, std::uint8_t index) {
    const QString channel =
        index < ChannelCount ? QString::number(index + 1) : QStringLiteral("(index %1)").arg(index);
    switch (code) {
    case CodeByte(ItemCode::Header1):
        return QStringLiteral("Header 1");
    case CodeByte(ItemCode::Header2):
        return QStringLiteral("Header 2");
    case CodeByte(ItemCode::TagName):
        return QStringLiteral("Tag ") + channel;
    case CodeByte(ItemCode::UnitName):
        return QStringLiteral("Units ") + channel;
    case CodeByte(ItemCode::Flags):
        return QStringLiteral("Flags");
    default:
        return QStringLiteral("unknown item");
    }
}

bool knownItem(std::uint8_t code) {
    return code >= CodeByte(ItemCode::Header1) && code <= CodeByte(ItemCode::Flags);
}

bool perChannel(std::uint8_t code) {
    return code == CodeByte(ItemCode::TagName) || code == CodeByte(ItemCode::UnitName);
}

// "01 01 02 41 (decimals 1 1 2 1, channel 4 disabled)".
QString flagsText(std::string_view flags) {
    QStringList decimals;
    QStringList disabled;
    for (std::size_t i = 0; i < flags.size(); ++i) {
        const auto f = static_cast<std::uint8_t>(flags[i]);
        decimals << QString::number(f & FlagDecimalsMask);
        if (f & FlagDisabled)
            disabled << QString::number(i + 1);
    }
    QString text = HexText(flags) + QStringLiteral(" (decimals ") + decimals.join(u' ');
    if (disabled.size() == 1)
        text += QStringLiteral(", channel ") + disabled.front() + QStringLiteral(" disabled");
    else if (!disabled.isEmpty())
        text +=
            QStringLiteral(", channels ") + disabled.join(QStringLiteral(", ")) + QStringLiteral(" disabled");
    return text + u')';
}

// The four channels' points: "1: 0 → 0.0, 1023 → 120.0; 2: ...".
QString calibrationText(std::string_view table, ChannelFlagBytes flags) {
    QStringList channels;
    for (std::size_t i = 0; i < flags.size(); ++i) {
        const std::size_t at = 8 * i;
        channels << QStringLiteral("%1: %2 \u2192 %3, %4 \u2192 %5")
                        .arg(i + 1)
                        .arg(rawText(int16At(table, at)), shownText(int16At(table, at + 2), flags[i]),
                             rawText(int16At(table, at + 4)), shownText(int16At(table, at + 6), flags[i]));
    }
    return channels.join(QStringLiteral("; "));
}

QString readingsText(std::string_view payload, ChannelFlagBytes flags) {
    QStringList raw;
    QStringList shown;
    for (std::size_t i = 0; i < flags.size(); ++i) {
        raw << rawText(int16At(payload, 2 * i));
        shown << shownText(int16At(payload, 8 + 2 * i), flags[i]);
    }
    return QStringLiteral("readings: raw ") + raw.join(u' ') + QStringLiteral(", shown ") + shown.join(u' ');
}

QString tooShort(const char* what, std::size_t have, std::size_t need) {
    return QStringLiteral("%1 too short to use (%2 of %3 payload bytes)")
        .arg(QLatin1String(what), number(have), number(need));
}

QString itemRequestWords(std::string_view payload) {
    if (payload.size() < 2)
        return tooShort("item request", payload.size(), 2);
    const auto index = static_cast<std::uint8_t>(payload[0]);
    const auto code = static_cast<std::uint8_t>(payload[1]);
    return QStringLiteral("item request: %1 (code %2, index %3)")
        .arg(itemName(code, index))
        .arg(code)
        .arg(index);
}

QString itemWriteWords(std::string_view payload) {
    if (payload.size() < 2)
        return tooShort("item write", payload.size(), 2);
    const auto index = static_cast<std::uint8_t>(payload[0]);
    const auto code = static_cast<std::uint8_t>(payload[1]);
    const std::string_view content = payload.substr(2);
    if (!knownItem(code))
        return QStringLiteral("item write: unknown item (code %1, index %2)").arg(code).arg(index);
    if (code == CodeByte(ItemCode::Flags))
        return QStringLiteral("item write: Flags = ") + flagsText(content);
    return QStringLiteral("item write: ") + itemName(code, index) + QStringLiteral(" = ") + quoted(content);
}

// As the tool stores it: the text up to its first zero byte, cut to the field.
QString itemReplyWords(std::string_view payload) {
    if (payload.size() < 2)
        return tooShort("item reply", payload.size(), 2);
    const auto index = static_cast<std::uint8_t>(payload[0]);
    const auto code = static_cast<std::uint8_t>(payload[1]);
    const std::string_view content = payload.substr(2);
    if (!knownItem(code))
        return QStringLiteral("item reply: unknown item (code %1), ignored").arg(code);
    const QString name = itemName(code, index);
    if (perChannel(code) && index >= ChannelCount)
        return QStringLiteral("item reply: ") + name + QStringLiteral(", no such channel: not stored");
    if (code == CodeByte(ItemCode::Flags)) {
        if (content.size() != FlagsItemSize)
            return QStringLiteral("item reply: Flags with %1 bytes, not 4: not stored").arg(content.size());
        return QStringLiteral("item reply: Flags = ") + flagsText(content);
    }
    const std::size_t capacity = code == CodeByte(ItemCode::UnitName) ? 10 : 20;
    const std::string text = BytesToText(content, static_cast<int>(content.size()));
    QString words = QStringLiteral("item reply: ") + name + QStringLiteral(" = ") +
                    quoted(std::string_view(text).substr(0, capacity));
    if (text.size() > capacity)
        words += QStringLiteral(" (cut to %1 characters)").arg(capacity);
    return words;
}

QString requestWords(char letter, std::size_t length, std::string_view payload, ChannelFlagBytes flags) {
    switch (letter) {
    case Letter::MeasureRequest:
        if (length == 0)
            return QStringLiteral("measurement request");
        return length == 10 ? QStringLiteral("measurement request, long form")
                            : QStringLiteral("measurement request (%1 payload bytes)").arg(length);
    case Letter::VersionRequest:
        return QStringLiteral("version request");
    case Letter::CalibrationRequest:
        return QStringLiteral("calibration request");
    case Letter::ItemRequest:
        return itemRequestWords(payload);
    case Letter::ItemWrite:
        return itemWriteWords(payload);
    case Letter::CalibrationWrite:
        if (payload.size() < CalibrationTableSize)
            return tooShort("calibration write", payload.size(), CalibrationTableSize);
        return QStringLiteral("calibration write: ") + calibrationText(payload, flags);
    case Letter::Store:
        return QStringLiteral("store command");
    default:
        return QStringLiteral("unknown request ") + letterText(letter);
    }
}

QString replyWords(char letter, std::string_view payload, ChannelFlagBytes flags) {
    switch (letter) {
    case Letter::Measurement:
        if (payload.size() < MeasurementPayloadSize)
            return tooShort("readings", payload.size(), MeasurementPayloadSize);
        return readingsText(payload, flags);
    case Letter::Version:
        return QStringLiteral("version reply: ") +
               quoted(BytesToText(payload, static_cast<int>(payload.size())));
    case Letter::Calibration:
        if (payload.size() < CalibrationTableSize)
            return tooShort("calibration reply", payload.size(), CalibrationTableSize);
        return QStringLiteral("calibration reply: ") + calibrationText(payload, flags);
    case Letter::Item:
        return itemReplyWords(payload);
    case Letter::Advance:
        return QStringLiteral("advance: the download moves on");
    case Letter::CalibrationAck:
        return QStringLiteral("calibration acknowledged");
    case Letter::ItemAck:
        return QStringLiteral("item acknowledged");
    case Letter::StoreAck:
        return QStringLiteral("store acknowledged");
    default:
        return QStringLiteral("unknown letter ") + letterText(letter) + QStringLiteral(", ignored");
    }
}

} // namespace

QString HexText(std::string_view bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    QString hex(bytes.empty() ? 0 : static_cast<qsizetype>(3 * bytes.size() - 1), u' ');
    qsizetype at = 0;
    for (const char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        hex[at] = QLatin1Char(digits[b >> 4]);
        hex[at + 1] = QLatin1Char(digits[b & 0xF]);
        at += 3;
    }
    return hex;
}

QString FrameWords(std::string_view frame, LinkDirection direction, ChannelFlagBytes flags) {
    if (frame.size() < FrameHeaderSize)
        return QStringLiteral("incomplete frame (%1 bytes)").arg(frame.size());
    const FrameView view(frame);
    const std::string_view payload = view.payload();
    QString words = direction == LinkDirection::ToUnit
                        ? requestWords(view.letter(), view.length(), payload, flags)
                        : replyWords(view.letter(), payload, flags);
    if (frame.size() != FrameHeaderSize + view.length())
        words += QStringLiteral("; length byte says %1 payload bytes, %2 follow")
                     .arg(number(view.length()), number(frame.size() - FrameHeaderSize));
    // A complete frame is taken by its length; its first byte is never looked at.
    if (static_cast<std::uint8_t>(frame[0]) != Soh)
        words +=
            QStringLiteral(" (starts with %1, not 0x01)").arg(byteHex(static_cast<std::uint8_t>(frame[0])));
    return words;
}

QString DropWords(DropReason reason) {
    switch (reason) {
    case DropReason::ExtraBytes:
        return QStringLiteral("more than one frame, or bytes after a frame");
    case DropReason::WaitingTooLong:
        return QStringLiteral("a waiting frame longer than 35 payload bytes");
    case DropReason::NoStartByte:
        return QStringLiteral("first byte is not 0x01");
    case DropReason::ReplyTooShort:
        return QStringLiteral("reply too short to use");
    }
    return {};
}

QString LateWords(std::string_view frame) {
    const FrameView reply(frame);
    const std::string_view payload = reply.payload();
    QString request;
    switch (reply.letter()) {
    case Letter::Version:
        request = QStringLiteral("a version request");
        break;
    case Letter::Calibration:
        request = QStringLiteral("a calibration request");
        break;
    case Letter::Item:
        request = payload.size() < 2 ? QStringLiteral("an item request")
                                     : QStringLiteral("the item request for ") +
                                           itemName(static_cast<std::uint8_t>(payload[1]),
                                                    static_cast<std::uint8_t>(payload[0]));
        break;
    case Letter::ItemAck:
        request = QStringLiteral("an item write");
        break;
    case Letter::CalibrationAck:
        request = QStringLiteral("a calibration write");
        break;
    case Letter::StoreAck:
        request = QStringLiteral("a store command");
        break;
    default:
        request = QStringLiteral("a download step");
        break;
    }
    return QStringLiteral("late reply to ") + request + QStringLiteral(": no step moved on");
}

QString ResendWords(int resend) {
    return resend > 0 ? QStringLiteral("resend %1").arg(resend) : QString();
}

QString SequenceWords(LinkSequence sequence, int step, StepOutcome outcome) {
    const std::string_view name = SequenceName(sequence);
    const QString prefix = QLatin1String(name.data(), static_cast<qsizetype>(name.size()));
    switch (outcome) {
    case StepOutcome::Requested:
        return prefix + QStringLiteral(" started");
    case StepOutcome::Complete:
        return prefix + QStringLiteral(": \" Complete \"");
    case StepOutcome::Error:
        return prefix + QStringLiteral(": \" Error \", step %1 unanswered after its resends").arg(step);
    case StepOutcome::Aborted:
        return prefix + QStringLiteral(": \" Error \", aborted at step %1: the port went away").arg(step);
    }
    return {};
}

} // namespace quellix
