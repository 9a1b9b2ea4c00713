#include "DeviceLink.h"

#include <limits>

namespace quellix {

// What tells the two sequences apart in the step routine they share.
struct DeviceLink::Sequence {
    LinkTimer timer;
    StatusLabel label;
    int firstStep;
    const char* runningCaption;
};

namespace {
constexpr int ResendsPerStep = 2;
}

void DeviceLink::runStep(SequenceEvent event, int& step, const Sequence& sequence,
                         void (DeviceLink::*act)()) {
    // Stopped first and started last, so the timeout counts from the end of the request's pause.
    host_.SetReplyTimer(sequence.timer, false, ReplyTimeoutMs);
    if (event == SequenceEvent::Start) {
        step = sequence.firstStep;
        host_.SetStatus(sequence.label, sequence.runningCaption, StatusColour::Silver);
    }
    if (event == SequenceEvent::Tick) {
        if (retriesLeft_ > 0) {
            --retriesLeft_;
        } else {
            host_.SetStatus(sequence.label, " Error ", StatusColour::Red);
            step = 0;
        }
    } else {
        retriesLeft_ = ResendsPerStep;
    }
    (this->*act)();
    if (step > 0)
        host_.SetReplyTimer(sequence.timer, true, ReplyTimeoutMs);
}

void DeviceLink::completeSequence(int& step, StatusLabel label) {
    step = 0;
    host_.SetStatus(label, " Complete ", StatusColour::Green);
}

void DeviceLink::AbortSequences() {
    auto abort = [this](int& step, LinkTimer timer, StatusLabel label) {
        if (step <= 0)
            return;
        host_.SetReplyTimer(timer, false, ReplyTimeoutMs);
        host_.SetStatus(label, " Error ", StatusColour::Red);
        step = 0;
    };
    abort(readStep_, LinkTimer::Timer4, StatusLabel::Label8);
    abort(sendStep_, LinkTimer::Timer1, StatusLabel::Label1);
}

void DeviceLink::RunReadStep(SequenceEvent event) {
    static constexpr Sequence download{LinkTimer::Timer4, StatusLabel::Label8, 2, " Receiving "};
    runStep(event, readStep_, download, &DeviceLink::sendReadRequest);
}

void DeviceLink::RunSendStep(SequenceEvent event) {
    static constexpr Sequence upload{LinkTimer::Timer1, StatusLabel::Label1, 1, " Sending "};
    runStep(event, sendStep_, upload, &DeviceLink::sendUploadRequest);
}

bool DeviceLink::SendFrame(const FrameBytes& frame) {
    if (frame.empty() || frame.size() > std::numeric_limits<std::uint16_t>::max())
        return false;
    FrameBytes bytes = frame;
    bytes[0] = Soh;
    host_.Pause(PauseBeforeSendMs);
    return host_.WriteCommData(bytes.data(), static_cast<std::uint16_t>(bytes.size()));
}

bool DeviceLink::SendCommand(char letter) {
    return SendFrame(BuildCommand(letter));
}

bool DeviceLink::SendParamRequest(char letter, std::uint8_t p0, std::uint8_t p1, std::int16_t w0,
                                  std::int16_t w1, std::int16_t w2, std::int16_t w3) {
    return SendFrame(BuildParamRequest(letter, p0, p1, w0, w1, w2, w3));
}

} // namespace quellix
