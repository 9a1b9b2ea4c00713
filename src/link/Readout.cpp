// Live readings: the two measurement requests, the 'X' reply and the staleness of its values.
#include "DeviceLink.h"

#include <algorithm>
#include <array>

namespace quellix {

namespace {
constexpr std::uint8_t LongRequestP0 = 7;
constexpr std::uint8_t LongRequestP1 = 1;
} // namespace

void DeviceLink::readMeasurements() {
    SendParamRequest(Letter::MeasureRequest, LongRequestP0, LongRequestP1);
}

void DeviceLink::autoReadTick(bool autoRead) {
    // An upload owns the line while it runs; a download does not stop the auto read.
    if (autoRead && upload_.step == 0)
        SendCommand(Letter::MeasureRequest);
}

void DeviceLink::stalenessTimeout() {
    for (int i = 0; i < ChannelCount; ++i) {
        block_.RawValue[i] = NoValue;
        block_.MeasuredValue[i] = NoValue;
    }
    host_.blockStored();
    notify([](LinkListener& l) { l.ReadingsStale(); });
}

bool DeviceLink::handleMeasurementReply(std::string_view frame) {
    // A reply too short for eight values is consumed like an unknown letter.
    const FrameView reply(frame);
    if (reply.payload().size() < MeasurementPayloadSize) {
        notify([&](LinkListener& l) { l.Dropped(DropReason::ReplyTooShort, frame); });
        return false;
    }
    host_.restartStalenessTimer();
    std::array<std::int16_t, ChannelCount> raw, displayed;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        raw[i] = reply.int16At(2 * i);
        displayed[i] = reply.int16At(8 + 2 * i);
    }
    std::copy(raw.begin(), raw.end(), block_.RawValue);
    std::copy(displayed.begin(), displayed.end(), block_.MeasuredValue);
    host_.blockStored();
    notify([&](LinkListener& l) { l.ReadingsTaken(raw, displayed, block_.ChannelFlags); });
    return true;
}

} // namespace quellix
