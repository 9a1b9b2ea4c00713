#include "FrameLog.h"

#include "FrameWords.h"

namespace quellix {

void FrameLog::FrameSent(std::string_view frame, int resend) {
    err_ << QStringLiteral("> ") << HexText(frame) << QStringLiteral("  ")
         << FrameWords(frame, LinkDirection::ToUnit, ChannelFlagBytes(block_.ChannelFlags));
    if (resend > 0)
        err_ << QStringLiteral(" (") << ResendWords(resend) << u')';
    err_ << Qt::endl;
}

void FrameLog::FrameDispatched(char, std::string_view frame) {
    err_ << QStringLiteral("< ") << HexText(frame) << QStringLiteral("  ")
         << FrameWords(frame, LinkDirection::FromUnit, ChannelFlagBytes(block_.ChannelFlags)) << Qt::endl;
}

void FrameLog::LateReply(LinkSequence, std::string_view frame) {
    err_ << QStringLiteral("  ") << LateWords(frame) << Qt::endl;
}

void FrameLog::Dropped(DropReason reason, std::string_view bytes) {
    err_ << QStringLiteral("< ") << HexText(bytes) << QStringLiteral("  dropped: ") << DropWords(reason)
         << Qt::endl;
}

} // namespace quellix
