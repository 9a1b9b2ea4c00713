#include "Frames.h"

#include <algorithm>

namespace quellix {

namespace {

void appendInt16(FrameBytes& frame, std::int16_t value) {
    const auto bits = static_cast<std::uint16_t>(value);
    frame.push_back(static_cast<std::uint8_t>(bits & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(bits >> 8));
}

FrameBytes frameHeader(char letter, std::size_t payloadSize) {
    FrameBytes frame;
    frame.reserve(FrameHeaderSize + payloadSize);
    frame.push_back(Soh);
    frame.push_back(static_cast<std::uint8_t>(letter));
    frame.push_back(static_cast<std::uint8_t>(payloadSize));
    return frame;
}

std::string_view asChars(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

} // namespace

FrameBytes BuildFrame(char letter, std::span<const std::uint8_t> payload) {
    return BuildFrame(letter, asChars(payload));
}

FrameBytes BuildFrame(char letter, std::string_view payload) {
    payload = payload.substr(0, MaxPayload);
    FrameBytes frame = frameHeader(letter, payload.size());
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

FrameBytes BuildCommand(char letter) {
    return frameHeader(letter, 0);
}

FrameBytes BuildParamRequest(char letter, std::uint8_t p0, std::uint8_t p1, std::int16_t w0, std::int16_t w1,
                             std::int16_t w2, std::int16_t w3) {
    FrameBytes frame = frameHeader(letter, 10);
    frame.push_back(p0);
    frame.push_back(p1);
    for (const std::int16_t w : {w0, w1, w2, w3})
        appendInt16(frame, w);
    return frame;
}

FrameBytes BuildItemFrame(char letter, std::uint8_t index, std::uint8_t code, std::string_view content) {
    content = content.substr(0, MaxPayload - 2);
    FrameBytes frame = frameHeader(letter, content.size() + 2);
    frame.push_back(index);
    frame.push_back(code);
    frame.insert(frame.end(), content.begin(), content.end());
    return frame;
}

FrameBytes BuildTextItem(std::string_view text, std::uint8_t index, ItemCode code) {
    // The unit cannot take an empty item, and the frame's text area holds 20 bytes.
    if (text.empty())
        text = " ";
    return BuildItemFrame(Letter::ItemWrite, index, CodeByte(code), text.substr(0, MaxItemText));
}

FrameBytes BuildFlagsItem(const ConfigBlock& block) {
    const std::string_view flags(reinterpret_cast<const char*>(block.ChannelFlags), FlagsItemSize);
    return BuildTextItem(flags, FlagsItemIndex, ItemCode::Flags);
}

FrameBytes BuildCalibrationWrite(const ConfigBlock& block) {
    return BuildFrame(Letter::CalibrationWrite, CalibrationTableBytes(block));
}

FrameBytes BuildValuesFrame(char letter, std::span<const std::int16_t> values) {
    values = values.first(std::min(values.size(), MaxPayload / 2));
    FrameBytes frame = frameHeader(letter, values.size() * 2);
    for (const std::int16_t v : values)
        appendInt16(frame, v);
    return frame;
}

std::string_view CalibrationTableBytes(const ConfigBlock& block) {
    return {reinterpret_cast<const char*>(block.Calibration), CalibrationTableSize};
}

std::string BytesToText(std::string_view source, int count) {
    if (count <= 0)
        return {};
    source = source.substr(0, static_cast<std::size_t>(count));
    return std::string(source.substr(0, source.find('\0')));
}

std::string_view FrameView::payload() const {
    if (bytes.size() <= FrameHeaderSize)
        return {};
    return bytes.substr(FrameHeaderSize, length());
}

std::int16_t FrameView::int16At(std::size_t offset) const {
    const std::string_view p = payload();
    if (offset + 1 >= p.size())
        return NoValue;
    const auto lo = static_cast<std::uint8_t>(p[offset]);
    const auto hi = static_cast<std::uint8_t>(p[offset + 1]);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
}

} // namespace quellix
