// Link frames exchanged with the display unit (SOH, letter, length N, N payload bytes; no checksum):
// their constants, builders for requests and replies, and the readers of received payloads.
#pragma once

#include "ConfigBlock.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quellix {

using FrameBytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t Soh = 0x01;
inline constexpr std::size_t FrameHeaderSize = 3;
inline constexpr std::size_t MaxPayload = 255;
// Longest payload a frame may have while it is still waiting for bytes of a later batch.
inline constexpr std::size_t MaxWaitingPayload = 35;
// The text area of an item write.
inline constexpr std::size_t MaxItemText = 20;
inline constexpr std::size_t MeasurementPayloadSize = 16;
inline constexpr std::size_t CalibrationTableSize = sizeof(ConfigBlock::Calibration);
static_assert(CalibrationTableSize == 32);

// Command letters: requests from the tool are lower case, replies from the unit upper case.
namespace Letter {
inline constexpr char MeasureRequest = 'x';
inline constexpr char VersionRequest = 'v';
inline constexpr char CalibrationRequest = 'c';
inline constexpr char ItemRequest = 'p';
inline constexpr char ItemWrite = 'q';
inline constexpr char CalibrationWrite = 'b';
inline constexpr char Store = 's';

inline constexpr char Measurement = 'X';
inline constexpr char Version = 'V';
inline constexpr char Calibration = 'C';
inline constexpr char Item = 'P';
inline constexpr char Advance = 'T';
inline constexpr char CalibrationAck = 'B';
inline constexpr char ItemAck = 'Q';
inline constexpr char StoreAck = 'S';
} // namespace Letter

// The replies that move a running download on by one step, and those that move a running upload.
constexpr bool AdvancesDownload(char letter) {
    return letter == Letter::Calibration || letter == Letter::Item || letter == Letter::Advance ||
           letter == Letter::Version;
}
constexpr bool AdvancesUpload(char letter) {
    return letter == Letter::CalibrationAck || letter == Letter::ItemAck || letter == Letter::StoreAck;
}

// Item codes of item requests, writes and replies, with the item index each uses.
enum class ItemCode : std::uint8_t {
    Header1 = 20,
    Header2 = 21,
    TagName = 22,  // index 0..3 = channel 1..4
    UnitName = 23, // index 0..3 = channel 1..4
    Flags = 24,    // the four flag bytes in channel order
};
// The code as its byte on the line.
constexpr std::uint8_t CodeByte(ItemCode code) {
    return static_cast<std::uint8_t>(code);
}
inline constexpr std::uint8_t FlagsItemIndex = 7;
inline constexpr std::uint8_t FlagsItemSize = ChannelCount; // one flag byte per channel

// The events that drive the download and upload steps.
enum class SequenceEvent : int { Reply = 0, Tick = 1, Start = 30000 };

// SOH, letter, N, payload; a payload beyond 255 bytes is cut so that N stays true.
FrameBytes BuildFrame(char letter, std::span<const std::uint8_t> payload);
FrameBytes BuildFrame(char letter, std::string_view payload);
// The 3-byte frame of a request without payload.
FrameBytes BuildCommand(char letter);
// The 13-byte frame: letter, N = 10, p0, p1, then four 16-bit words low byte first.
FrameBytes BuildParamRequest(char letter, std::uint8_t p0, std::uint8_t p1, std::int16_t w0 = 0,
                             std::int16_t w1 = 0, std::int16_t w2 = 0, std::int16_t w3 = 0);
// Item index, item code, then the content as it is (item writes 'q' and item replies 'P').
FrameBytes BuildItemFrame(char letter, std::uint8_t index, std::uint8_t code, std::string_view content);
// An item write: an empty text goes as one blank, a text beyond 20 bytes is cut to 20.
FrameBytes BuildTextItem(std::string_view text, std::uint8_t index, ItemCode code);
// The flags item write: the block's four flag bytes, zero bytes included.
FrameBytes BuildFlagsItem(const ConfigBlock& block);
// The 35-byte calibration write: the block's whole calibration table as it lies in memory.
FrameBytes BuildCalibrationWrite(const ConfigBlock& block);
// Eight or any number of 16-bit values, low byte first (the measurement reply 'X').
FrameBytes BuildValuesFrame(char letter, std::span<const std::int16_t> values);

// The block's calibration table as the 'b' request and the 'C' reply carry it.
std::string_view CalibrationTableBytes(const ConfigBlock& block);

// The first count bytes of source, stopping before the first zero byte; never beyond source.
std::string BytesToText(std::string_view source, int count);

// One received frame, read without ever looking past its end.
struct FrameView {
    explicit FrameView(std::string_view frame) : bytes(frame) {}

    char letter() const { return bytes.size() > 1 ? bytes[1] : '\0'; }
    std::size_t length() const { return bytes.size() > 2 ? static_cast<std::uint8_t>(bytes[2]) : 0; }
    // The payload, cut where the bytes end should the length byte claim more.
    std::string_view payload() const;
    // The 16-bit value at a payload offset, low byte first; NoValue where the payload ends first.
    std::int16_t int16At(std::size_t offset) const;

    std::string_view bytes;
};

} // namespace quellix
