#include "DeviceLink.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace quellix {

namespace {
constexpr int ResendsPerStep = 2;
}

DeviceLink::Report DeviceLink::runStep(SequenceEvent event, SequenceState& state, const Sequence& sequence) {
    // Stopped first and started last, so the timeout counts from the end of the request's pause.
    host_.SetReplyTimer(sequence.timer, false, ReplyTimeoutMs);
    if (event == SequenceEvent::Start) {
        state.step = sequence.firstStep;
        host_.SetStatus(sequence.label, sequence.runningCaption, StatusColour::Silver);
    }
    Report outcome;
    if (event == SequenceEvent::Tick) {
        if (retriesLeft_ > 0) {
            --retriesLeft_;
            ++state.resends;
        } else {
            host_.SetStatus(sequence.label, " Error ", StatusColour::Red);
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
        host_.SetStatus(sequence.label, " Complete ", StatusColour::Green);
    } else if (state.step > 0) {
        (this->*sequence.send)(state.step, state.resends);
        outcome = StepReport{sequence.id, state.step, StepOutcome::Requested};
    }
    if (state.step > 0)
        host_.SetReplyTimer(sequence.timer, true, ReplyTimeoutMs);
    return outcome;
}

void DeviceLink::report(const Report& step) {
    if (step)
        notify([&](LinkListener& l) { l.SequenceStep(step->sequence, step->step, step->outcome); });
}

void DeviceLink::AbortSequences() {
    auto abort = [this](SequenceState& state, LinkSequence id, LinkTimer timer, StatusLabel label) -> Report {
        if (state.step <= 0)
            return std::nullopt;
        host_.SetReplyTimer(timer, false, ReplyTimeoutMs);
        host_.SetStatus(label, " Error ", StatusColour::Red);
        return StepReport{id, std::exchange(state.step, 0), StepOutcome::Aborted};
    };
    const Report download = abort(download_, LinkSequence::Download, LinkTimer::Timer4, StatusLabel::Label8);
    const Report upload = abort(upload_, LinkSequence::Upload, LinkTimer::Timer1, StatusLabel::Label1);
    report(download);
    report(upload);
}

void DeviceLink::AddListener(LinkListener& listener) {
    if (std::find(listeners_.begin(), listeners_.end(), &listener) == listeners_.end())
        listeners_.push_back(&listener);
}

void DeviceLink::RemoveListener(LinkListener& listener) {
    const auto it = std::find(listeners_.begin(), listeners_.end(), &listener);
    if (it == listeners_.end())
        return;
    // While an event is being told, the loop still walks the list: leave a hole it skips.
    if (notifying_ > 0)
        *it = nullptr;
    else
        listeners_.erase(it);
}

bool DeviceLink::SendFrame(FrameBytes frame, int resend) {
    if (frame.empty() || frame.size() > std::numeric_limits<std::uint16_t>::max())
        return false;
    frame[0] = Soh;
    host_.Pause(PauseBeforeSendMs);
    const bool written = host_.WriteCommData(frame.data(), static_cast<std::uint16_t>(frame.size()));
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
