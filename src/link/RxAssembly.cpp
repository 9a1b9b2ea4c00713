// Received bytes into frames, and each complete frame to the sequence step and the handler of its letter.
#include "DeviceLink.h"

namespace quellix {

void DeviceLink::ReceiveString(std::string_view batch) {
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
    const Report step = advanceSequences(frame[1]);
    storeReply(frame);
    report(step);
}

DeviceLink::Report DeviceLink::advanceSequences(char letter) {
    if (AdvancesUpload(letter) && upload_.step > 0) {
        ++upload_.step;
        return RunSendStep(SequenceEvent::Reply);
    }
    if (AdvancesDownload(letter) && download_.step > 0) {
        ++download_.step;
        return RunReadStep(SequenceEvent::Reply);
    }
    return std::nullopt;
}

void DeviceLink::storeReply(std::string_view frame) {
    switch (frame[1]) {
    case Letter::Measurement:
        HandleMeasurementReply(frame);
        break;
    case Letter::Calibration:
        HandleCalibrationReply(frame);
        break;
    case Letter::Item:
        HandleItemReply(frame);
        break;
    case Letter::Version:
        HandleVersionReply(frame);
        break;
    default:
        break;
    }
}

} // namespace quellix
