// Received bytes into frames, and each complete frame to the sequence step and the handler of its letter.
#include "DeviceLink.h"

namespace quellix {

void DeviceLink::ReceiveString(std::string_view batch) {
    rxBuffer_.append(batch);
    if (rxBuffer_.size() >= FrameHeaderSize) {
        // A frame is recognised by its length alone; its first byte is not examined.
        const std::size_t frameSize = FrameHeaderSize + static_cast<std::uint8_t>(rxBuffer_[2]);
        if (rxBuffer_.size() == frameSize) {
            // Taken out before dispatch, which leaves the buffer empty as the frame is consumed.
            const std::string frame = std::move(rxBuffer_);
            rxBuffer_.clear();
            dispatch(frame);
        } else if (rxBuffer_.size() > frameSize || frameSize - FrameHeaderSize > MaxWaitingPayload) {
            // More than one frame, or trailing bytes, or too long to wait for: dropped whole.
            rxBuffer_.clear();
        }
    }
    if (!rxBuffer_.empty() && static_cast<std::uint8_t>(rxBuffer_[0]) != Soh)
        rxBuffer_.clear();
}

void DeviceLink::dispatch(std::string_view frame) {
    // The next request goes out before the reply is stored: a download's last reply shows
    // " Complete " first and stores its item right after.
    advanceSequences(frame[1]);
    storeReply(frame);
}

void DeviceLink::advanceSequences(char letter) {
    switch (letter) {
    case Letter::CalibrationAck:
    case Letter::ItemAck:
    case Letter::StoreAck:
        if (sendStep_ > 0) {
            ++sendStep_;
            RunSendStep(SequenceEvent::Reply);
        }
        break;
    case Letter::Calibration:
    case Letter::Item:
    case Letter::Advance:
    case Letter::Version:
        if (readStep_ > 0) {
            ++readStep_;
            RunReadStep(SequenceEvent::Reply);
        }
        break;
    default:
        break;
    }
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
