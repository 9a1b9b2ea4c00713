#include "FrameLog.h"

#include "Frames.h"

namespace quellix {

namespace {

QString HexBytes(std::string_view bytes) {
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())).toHex(' ').toUpper();
}

QString ItemName(std::string_view payload) {
    if (payload.size() < 2)
        return QStringLiteral("?");
    const int index = static_cast<std::uint8_t>(payload[0]);
    switch (static_cast<std::uint8_t>(payload[1])) {
    case CodeByte(ItemCode::Header1):
        return QStringLiteral("header 1");
    case CodeByte(ItemCode::Header2):
        return QStringLiteral("header 2");
    case CodeByte(ItemCode::TagName):
        return QStringLiteral("tag %1").arg(index + 1);
    case CodeByte(ItemCode::UnitName):
        return QStringLiteral("units %1").arg(index + 1);
    case CodeByte(ItemCode::Flags):
        return QStringLiteral("flags");
    default:
        return QStringLiteral("item code %1").arg(static_cast<std::uint8_t>(payload[1]));
    }
}

} // namespace

QString FrameMeaning(std::string_view frame) {
    const FrameView view(frame);
    switch (view.letter()) {
    case Letter::MeasureRequest:
        return QStringLiteral("measurement request");
    case Letter::VersionRequest:
        return QStringLiteral("version request");
    case Letter::CalibrationRequest:
        return QStringLiteral("calibration request");
    case Letter::ItemRequest:
        return QStringLiteral("item request: ") + ItemName(view.payload());
    case Letter::ItemWrite:
        return QStringLiteral("item write: ") + ItemName(view.payload());
    case Letter::CalibrationWrite:
        return QStringLiteral("calibration write");
    case Letter::Store:
        return QStringLiteral("store");
    case Letter::Measurement:
        return QStringLiteral("measurement reply");
    case Letter::Version:
        return QStringLiteral("version reply");
    case Letter::Calibration:
        return QStringLiteral("calibration reply");
    case Letter::Item:
        return QStringLiteral("item reply: ") + ItemName(view.payload());
    case Letter::Advance:
        return QStringLiteral("advance");
    case Letter::CalibrationAck:
        return QStringLiteral("calibration acknowledged");
    case Letter::ItemAck:
        return QStringLiteral("item acknowledged");
    case Letter::StoreAck:
        return QStringLiteral("store acknowledged");
    default:
        return QStringLiteral("unknown letter 0x%1")
            .arg(static_cast<std::uint8_t>(view.letter()), 2, 16, QChar(u'0'));
    }
}

void FrameLog::FrameSent(std::string_view frame, int resend) {
    if (link_.holding())
        return;
    err_ << QStringLiteral("> ") << HexBytes(frame) << QStringLiteral("  ") << FrameMeaning(frame);
    if (resend > 0)
        err_ << QStringLiteral(" (resend %1)").arg(resend);
    err_ << Qt::endl;
}

void FrameLog::FrameDispatched(char, std::string_view frame) {
    err_ << QStringLiteral("< ") << HexBytes(frame) << QStringLiteral("  ") << FrameMeaning(frame)
         << Qt::endl;
}

void FrameLog::Dropped(DropReason reason, std::string_view bytes) {
    err_ << QStringLiteral("< ") << HexBytes(bytes) << QStringLiteral("  dropped: ")
         << QString::fromLatin1(DropReasonName(reason).data(),
                                static_cast<qsizetype>(DropReasonName(reason).size()))
         << Qt::endl;
}

} // namespace quellix
