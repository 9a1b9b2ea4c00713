// Live readings: the two measurement requests, the 'X' reply and the staleness of its values.
#include "DeviceLink.h"

namespace quellix {

namespace {
constexpr std::uint8_t LongRequestP0 = 7;
constexpr std::uint8_t LongRequestP1 = 1;
} // namespace

void DeviceLink::Button12Click() {
    SendParamRequest(Letter::MeasureRequest, LongRequestP0, LongRequestP1);
}

void DeviceLink::Timer2Timer(bool autoSendChecked) {
    // An upload owns the line while it runs; a download does not stop the auto read.
    if (autoSendChecked && sendStep_ == 0)
        SendCommand(Letter::MeasureRequest);
}

void DeviceLink::Timer3Timer() {
    for (int i = 0; i < 4; ++i) {
        block_.RawValue[i] = NoValue;
        block_.MeasuredValue[i] = NoValue;
    }
    host_.BlockToWindow();
}

void DeviceLink::HandleMeasurementReply(std::string_view frame) {
    // A reply too short for eight values is consumed like an unknown letter.
    const FrameView reply(frame);
    if (reply.payload().size() < MeasurementPayloadSize)
        return;
    host_.RestartStalenessTimer();
    for (int i = 0; i < 4; ++i) {
        block_.RawValue[i] = reply.int16At(2 * static_cast<std::size_t>(i));
        block_.MeasuredValue[i] = reply.int16At(8 + 2 * static_cast<std::size_t>(i));
    }
    host_.BlockToWindow();
}

} // namespace quellix
