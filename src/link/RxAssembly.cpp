// Received bytes into frames, and each complete frame to the sequence step and the handler of its letter.
#include "DeviceLink.h"

namespace quellix {

void DeviceLink::receive(std::string_view batch) {
    notify([&](LinkListener& l) { l.BatchReceived(batch); });
    rx_.Feed(
        batch, [this](std::string_view frame) { dispatch(frame); },
        [this](DropReason reason, std::string_view bytes) {
            notify([&](LinkListener& l) { l.Dropped(reason, bytes); });
        });
}

void DeviceLink::dispatch(std::string_view frame) {
    notify([&](LinkListener& l) { l.FrameDispatched(frame[1], frame); });
    // The next request goes out before the reply is stored: a download's last reply shows
    // " Complete " first and stores its item right after. Listeners hear of the step once both are done.
    const int answers = downloadStepAnswered(frame);
    const Report step = advanceSequences(frame, answers);
    if (storeReply(frame) && answers > 0)
        notify([&](LinkListener& l) { l.ReplyStored(answers); });
    report(step);
}

// A reply moves a sequence on only when it answers the step pending; 'T' says nothing of which
// request it answers and moves a running download on as it always has.
DeviceLink::Report DeviceLink::advanceSequences(std::string_view frame, int answers) {
    const char letter = frame[1];
    std::optional<LinkSequence> late;
    if (AdvancesUpload(letter)) {
        if (upload_.step > 0 && uploadStepAnswered(upload_.step, letter)) {
            ++upload_.step;
            return RunSendStep(SequenceEvent::Reply);
        }
        late = LinkSequence::Upload;
    } else if (AdvancesDownload(letter)) {
        if (download_.step > 0 && (letter == Letter::Advance || answers == download_.step)) {
            ++download_.step;
            return RunReadStep(SequenceEvent::Reply);
        }
        if (letter == Letter::Advance || answers > 0)
            late = LinkSequence::Download;
    }
    if (late)
        notify([&](LinkListener& l) { l.LateReply(*late, frame); });
    return std::nullopt;
}

bool DeviceLink::storeReply(std::string_view frame) {
    switch (frame[1]) {
    case Letter::Measurement:
        return handleMeasurementReply(frame);
    case Letter::Calibration:
        return HandleCalibrationReply(frame);
    case Letter::Item:
        return HandleItemReply(frame);
    case Letter::Version:
        return handleVersionReply(frame);
    default:
        return false;
    }
}

} // namespace quellix
