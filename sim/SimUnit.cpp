#include "SimUnit.h"

#include "Frames.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace quellix {

namespace {

constexpr std::uint8_t CodeHeader1 = CodeByte(ItemCode::Header1), CodeHeader2 = CodeByte(ItemCode::Header2),
                       CodeTag = CodeByte(ItemCode::TagName), CodeUnits = CodeByte(ItemCode::UnitName),
                       CodeFlags = CodeByte(ItemCode::Flags);

// Index 0..3 is required only where the item is per channel.
bool itemAddressable(std::uint8_t index, std::uint8_t code) {
    if (code < CodeHeader1 || code > CodeFlags)
        return false;
    return (code != CodeTag && code != CodeUnits) || index <= 3;
}

} // namespace

SimUnit::SimUnit(const ConfigBlock& state, std::string version, Readings readings)
    : state_(state), version_(std::move(version)), readings_(std::move(readings)) {}

bool SimUnit::TakeStoreRequest() {
    return std::exchange(storeRequested_, false);
}

std::optional<Bytes> SimUnit::Handle(const Bytes& frame, double seconds) {
    if (frame.size() < 3)
        return std::nullopt;
    switch (frame[1]) {
    case 'v':
        return BuildFrame('V', std::string_view(version_));
    case 'c':
        return BuildFrame('C', CalibrationTableBytes(state_));
    case 'p':
        return itemReply(frame);
    case 'q':
        return storeItem(frame);
    case 'b':
        if (frame[2] != sizeof state_.Calibration)
            return std::nullopt;
        std::memcpy(state_.Calibration, frame.data() + 3, sizeof state_.Calibration);
        return BuildCommand('B');
    case 's':
        storeRequested_ = true;
        return BuildCommand('S');
    case 'x':
        return measurementReply(seconds);
    default:
        return std::nullopt;
    }
}

std::optional<Bytes> SimUnit::itemReply(const Bytes& frame) const {
    if (frame[2] < 2)
        return std::nullopt;
    const std::uint8_t index = frame[3], code = frame[4];
    if (!itemAddressable(index, code))
        return std::nullopt;
    std::string_view content;
    switch (code) {
    case CodeHeader1:
        content = state_.Header1.text();
        break;
    case CodeHeader2:
        content = state_.Header2.text();
        break;
    case CodeTag:
        content = state_.TagName[index].text();
        break;
    case CodeUnits:
        content = state_.UnitName[index].text();
        break;
    default:
        content =
            std::string_view(reinterpret_cast<const char*>(state_.ChannelFlags), sizeof state_.ChannelFlags);
        break;
    }
    return BuildItemFrame('P', index, code, content);
}

std::optional<Bytes> SimUnit::storeItem(const Bytes& frame) {
    const std::size_t n = frame[2];
    if (n < 2)
        return std::nullopt;
    const std::uint8_t index = frame[3], code = frame[4];
    if (!itemAddressable(index, code))
        return std::nullopt;
    const std::string_view text(reinterpret_cast<const char*>(frame.data() + 5), n - 2);
    switch (code) {
    case CodeHeader1:
        state_.Header1.assign(text);
        break;
    case CodeHeader2:
        state_.Header2.assign(text);
        break;
    case CodeTag:
        state_.TagName[index].assign(storeOther_ && index == 0 ? text.substr(0, text.size() - 1) : text);
        break;
    case CodeUnits:
        state_.UnitName[index].assign(text);
        break;
    default:
        if (text.size() != sizeof state_.ChannelFlags)
            return std::nullopt;
        std::memcpy(state_.ChannelFlags, text.data(), sizeof state_.ChannelFlags);
        break;
    }
    return BuildCommand('Q');
}

Bytes SimUnit::measurementReply(double seconds) {
    for (int i = 0; i < ChannelCount; ++i) {
        state_.RawValue[i] = readings_.Raw(i, seconds);
        state_.MeasuredValue[i] = CalibratedValue(state_.Calibration[i], state_.RawValue[i]);
    }
    std::int16_t values[2 * ChannelCount];
    std::memcpy(values, state_.RawValue, sizeof state_.RawValue);
    std::memcpy(values + ChannelCount, state_.MeasuredValue, sizeof state_.MeasuredValue);
    return BuildValuesFrame('X', values);
}

void RequestAssembler::Feed(const std::uint8_t* data, std::size_t count) {
    pending_.insert(pending_.end(), data, data + count);
}

std::optional<Bytes> RequestAssembler::Next() {
    const auto start = std::find(pending_.begin(), pending_.end(), std::uint8_t{0x01});
    pending_.erase(pending_.begin(), start);
    if (pending_.size() < 3 || pending_.size() < pending_[2] + 3u)
        return std::nullopt;
    const auto end = pending_.begin() + pending_[2] + 3;
    Bytes frame(pending_.begin(), end);
    pending_.erase(pending_.begin(), end);
    return frame;
}

} // namespace quellix
