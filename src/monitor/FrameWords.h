// Link frames and link events in words, for the Link Monitor: what each frame of either direction
// means ("item reply: Tag 1 = 'Boiler Flow'"), why bytes were dropped, how a sequence ended. Texts of
// the block are Windows-1252 and come out as Unicode.
#pragma once

#include "LinkEvents.h"

#include <QString>
#include <array>
#include <cstdint>
#include <string_view>

namespace quellix {

enum class LinkDirection { ToUnit, FromUnit };

// The channels' flag bytes, channel 1 first: the decimals of displayed values.
using ChannelFlagBytes = std::array<std::uint8_t, 4>;

// "01 76 00": two upper-case hex digits per byte, one blank between bytes.
QString HexText(std::string_view bytes);

// What one frame means. Requests are read as the tool sends them, replies as the tool takes them
// (texts up to their first zero byte and cut to their field); displayed values get the channel's
// decimals from `flags`.
QString FrameWords(std::string_view frame, LinkDirection direction, const ChannelFlagBytes& flags);

QString DropWords(DropReason reason);
// "resend 1 of 2"; empty for a first sending.
QString ResendWords(int resend);
// `download: " Complete "`; an aborted sequence shows " Error " as its status label does.
QString SequenceEndWords(SequenceKind kind, SequenceOutcome outcome);
QString SequenceName(SequenceKind kind);

} // namespace quellix
