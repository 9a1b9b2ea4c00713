// Following the link from outside: every frame sent and received, every batch dropped, the readings
// and each sequence step, for monitors, recorders and tools that must not change what the link does.
#pragma once

#include "ConfigBlock.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>

namespace quellix {

// Why received bytes were dropped instead of used.
enum class DropReason {
    ExtraBytes,     // more than one frame, or a frame followed by further bytes: the whole buffer
    WaitingTooLong, // an incomplete frame whose payload would be longer than 35 bytes
    NoStartByte,    // bytes kept waiting whose first byte is not 0x01
    ReplyTooShort,  // a complete reply too short to use: 'X' under 16, 'C' under 32, 'P' under 2 bytes
};

enum class LinkSequence { Download, Upload };

enum class StepOutcome {
    Requested, // the step's request was sent (again, on a resend)
    Complete,  // every step answered; the status label shows " Complete "
    Error,     // a step stayed unanswered after its resends; " Error "
    Aborted,   // ended from outside, its port gone; " Error " too
};

// One value per channel, channel 1 first.
using ChannelValues = std::span<const std::int16_t, std::extent_v<decltype(ConfigBlock::RawValue)>>;
using ChannelFlagBytes = std::span<const std::uint8_t, std::extent_v<decltype(ConfigBlock::ChannelFlags)>>;

// Every method does nothing unless overridden. Events come on the thread that drives the link, in the
// order things happen there. Bytes are whole frames or batches as they are, zero bytes included (read
// a frame with FrameView); they and the spans are valid only during the call, so a listener copies what
// it keeps. A listener may add or remove listeners, itself included, during an event, but should not
// drive the link from inside one (post that instead). It removes itself before it is destroyed.
class LinkListener {
public:
    virtual ~LinkListener() = default;

    // A request handed to the port, after its pause. `resend` is 0 for a first sending and counts the
    // resends of the same sequence step after it (1 and 2 unless the other sequence's replies restored
    // the shared retries meanwhile).
    virtual void FrameSent(std::string_view /*frame*/, int /*resend*/) {}
    // A batch of received bytes as the port delivered it, before it is assembled.
    virtual void BatchReceived(std::string_view /*batch*/) {}
    // A complete received frame, before the link acts on it; every letter, unknown ones included.
    virtual void FrameDispatched(char /*letter*/, std::string_view /*frame*/) {}
    // A complete reply of a sequence's letters that moved no step on: it answers a request that is not
    // the one pending (sent before and answered twice, or of a step already passed), or no sequence of
    // its kind runs. Told after FrameDispatched; what it carries is stored all the same.
    virtual void LateReply(LinkSequence /*sequence*/, std::string_view /*frame*/) {}
    // A reply stored what download step `step` (2 to 14) asks for, whether or not a download runs and
    // whichever step is pending; told after the reply's data is in the block.
    virtual void ReplyStored(int /*step*/) {}
    // Received bytes that were dropped; for ReplyTooShort, the frame dispatched just before.
    virtual void Dropped(DropReason /*reason*/, std::string_view /*bytes*/) {}
    // An 'X' reply stored in the block: its readings, and the channel flag bytes at that moment (their
    // decimals say how to show the displayed values).
    virtual void ReadingsTaken(ChannelValues /*raw*/, ChannelValues /*displayed*/,
                               ChannelFlagBytes /*flags*/) {}
    // No 'X' reply for 5 seconds: every reading is now NoValue.
    virtual void ReadingsStale() {}
    // A step of a download (steps 2 to 14, complete at 15) or an upload (steps 1 to 13, complete at
    // 14), told once the link has handled the event that moved it, a reply's own data stored included.
    // For Error and Aborted, `step` is the step left unanswered.
    virtual void SequenceStep(LinkSequence /*sequence*/, int /*step*/, StepOutcome /*outcome*/) {}
};

constexpr std::string_view DropReasonName(DropReason reason) {
    switch (reason) {
    case DropReason::ExtraBytes:
        return "extra bytes";
    case DropReason::WaitingTooLong:
        return "waiting payload over 35 bytes";
    case DropReason::NoStartByte:
        return "no start byte";
    case DropReason::ReplyTooShort:
        return "reply too short";
    }
    return "?";
}

constexpr std::string_view SequenceName(LinkSequence sequence) {
    return sequence == LinkSequence::Download ? "download" : "upload";
}

constexpr std::string_view StepOutcomeName(StepOutcome outcome) {
    switch (outcome) {
    case StepOutcome::Requested:
        return "requested";
    case StepOutcome::Complete:
        return "complete";
    case StepOutcome::Error:
        return "error";
    case StepOutcome::Aborted:
        return "aborted";
    }
    return "?";
}

} // namespace quellix
