// What the device link tells an onlooker: frames sent, batches received, frames taken or dropped by the
// receive assembly, readings, and the download and upload sequences. The Link Monitor implements it.
#pragma once

#include <string_view>

namespace quellix {

// Why the receive assembly or a reply handler threw bytes away.
enum class DropReason {
    ExtraBytes,    // more than one frame, or bytes after a frame, in the buffer
    OversizedWait, // a frame still waiting for bytes claims more than 35 payload bytes
    NoStartByte,   // the waiting bytes do not begin with 0x01
    ReplyTooShort, // a complete reply whose payload is too short to use
};

enum class SequenceKind { Download, Upload };
enum class SequenceOutcome { Complete, Error, Aborted };

// Every method does nothing unless overridden; all are called on the window's thread. Bytes are only
// valid during the call.
class LinkEventSink {
public:
    virtual ~LinkEventSink() = default;

    // A request handed to the port; `resend` is 0 for its first sending, then 1 and 2.
    virtual void FrameSent(std::string_view /*frame*/, int /*resend*/) {}
    // One batch from the port, as it arrived.
    virtual void BatchReceived(std::string_view /*batch*/) {}
    // A complete frame the assembly hands on by its letter.
    virtual void FrameDispatched(char /*letter*/, std::string_view /*frame*/) {}
    // Bytes thrown away, and why.
    virtual void Dropped(std::string_view /*bytes*/, DropReason /*reason*/) {}
    virtual void ReadingsTaken() {}
    // No reading for five seconds: all readings are now missing.
    virtual void ReadingsStale() {}
    // The sequence is at `step` (download 2..14, upload 1..13), at its start, a reply or a resend.
    virtual void SequenceStep(SequenceKind /*kind*/, int /*step*/) {}
    virtual void SequenceEnded(SequenceKind /*kind*/, SequenceOutcome /*outcome*/) {}
};

} // namespace quellix
