// Link frames and link events in words, for the Link Monitor: what each frame of either direction
// means ("item reply: Tag 1 = 'Boiler Flow'"), why bytes were dropped, how a sequence ended. Texts of
// the block are Windows-1252 and come out as Unicode.
#pragma once

#include "LinkListener.h"

#include <QString>
#include <string_view>

namespace quellix {

enum class LinkDirection { ToUnit, FromUnit };

// "01 76 00": two upper-case hex digits per byte, one blank between bytes.
QString HexText(std::string_view bytes);

// What one frame means. Requests are read as the tool sends them, replies as the tool takes them
// (texts up to their first zero byte and cut to their field); displayed values get the channel's
// decimals from `flags`.
QString FrameWords(std::string_view frame, LinkDirection direction, ChannelFlagBytes flags);

QString DropWords(DropReason reason);
// For a reply that moved no sequence on: "late reply to the item request for Tag 1: no step moved on".
QString LateWords(std::string_view frame);
// "resend 1"; empty for a first sending.
QString ResendWords(int resend);
// A sequence's start ("download started", told for its first step requested) or end (`download:
// " Complete "`; ended in error or aborted, " Error " as its status label shows, and the step left
// unanswered).
QString SequenceWords(LinkSequence sequence, int step, StepOutcome outcome);

} // namespace quellix
