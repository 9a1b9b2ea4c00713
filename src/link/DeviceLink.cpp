#include "DeviceLink.h"

#include <limits>
#include <utility>

namespace quellix {

namespace {
constexpr int ResendsPerStep = 2;
}

DeviceLink::Report DeviceLink::runStep(SequenceEvent event, SequenceState& state, const Sequence& sequence) {
    // Stopped first and started last, so the timeout counts from the end of the request's pause.
    host_.setReplyTimer(sequence.id, false, ReplyTimeoutMs);
    if (event == SequenceEvent::Start) {
        state.step = sequence.firstStep;
        host_.setStatus(sequence.id, sequence.runningCaption, StatusColour::Silver);
    }
    Report outcome;
    if (event == SequenceEvent::Tick) {
        if (retriesLeft_ > 0) {
            --retriesLeft_;
            ++state.resends;
        } else {
            host_.setStatus(sequence.id, " Error ", StatusColour::Red);
            outcome = StepReport{sequence.id, state.step, StepOutcome::Error};
            state.step = 0;
        }
    } else {
        retriesLeft_ = ResendsPerStep;
        state.resends = 0;
    }
    if (state.step == sequence.doneStep) {
        outcome = StepReport{sequence.id, state.step, StepOutcome::Complete};
        state.step = 0;
        host_.setStatus(sequence.id, " Complete ", StatusColour::Green);
    } else if (state.step > 0) {
        (this->*sequence.send)(state.step, state.resends);
        outcome = StepReport{sequence.id, state.step, StepOutcome::Requested};
    }
    if (state.step > 0)
        host_.setReplyTimer(sequence.id, true, ReplyTimeoutMs);
    return outcome;
}

void DeviceLink::report(const Report& step) {
    if (step)
        notify([&](LinkListener& l) { l.SequenceStep(step->sequence, step->step, step->outcome); });
}

void DeviceLink::abortSequences() {
    auto abort = [this](SequenceState& state, LinkSequence id) -> Report {
        if (state.step <= 0)
            return std::nullopt;
        host_.setReplyTimer(id, false, ReplyTimeoutMs);
        host_.setStatus(id, " Error ", StatusColour::Red);
        return StepReport{id, std::exchange(state.step, 0), StepOutcome::Aborted};
    };
    const Report download = abort(download_, LinkSequence::Download);
    const Report upload = abort(upload_, LinkSequence::Upload);
    report(download);
    report(upload);
}

bool DeviceLink::SendFrame(FrameBytes frame, int resend) {
    if (frame.empty() || frame.size() > std::numeric_limits<std::uint16_t>::max())
        return false;
    frame[0] = Soh;
    host_.pause(PauseBeforeSendMs);
    const bool written = host_.write(frame.data(), static_cast<std::uint16_t>(frame.size()));
    notify([&](LinkListener& l) {
        l.FrameSent({reinterpret_cast<const char*>(frame.data()), frame.size()}, resend);
    });
    return written;
}

bool DeviceLink::SendCommand(char letter, int resend) {
    return SendFrame(BuildCommand(letter), resend);
}

bool DeviceLink::SendParamRequest(char letter, std::uint8_t p0, std::uint8_t p1, int resend) {
    return SendFrame(BuildParamRequest(letter, p0, p1), resend);
}

} // namespace quellix
