// The 242-byte configuration block: the one record the window shows, the link fills and sends, and
// every configuration file holds byte for byte.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quellix {

// The unit's channels, numbered 1..ChannelCount in names and fields.
inline constexpr int ChannelCount = 4;

// Mark for a missing reading or calibration value.
inline constexpr std::int16_t NoValue = -32768;

#pragma pack(push, 1)

// Length byte followed by Capacity 8-bit characters; bytes after the text are no part of the value
// and keep whatever they held.
template <std::size_t Capacity> struct ShortString {
    std::uint8_t Length;
    char Chars[Capacity];

    static constexpr std::size_t capacity = Capacity;

    // The stored text; a length byte above the capacity reads as the capacity.
    std::string_view text() const { return {Chars, Length > Capacity ? Capacity : Length}; }
    // Stores the text, cut to the capacity, writing only the length byte and the characters.
    void assign(std::string_view bytes) {
        const std::size_t n = bytes.size() > Capacity ? Capacity : bytes.size();
        Length = static_cast<std::uint8_t>(n);
        bytes.copy(Chars, n);
    }
};

struct ChannelCalibration {
    std::int16_t Measured1; // raw reading at calibration point 1
    std::int16_t Calib1;    // displayed value wanted at point 1, in the channel's decimal units
    std::int16_t Measured2;
    std::int16_t Calib2;
};

// Arrays hold channels 1..4 at indexes 0..3.
struct ConfigBlock {
    std::uint32_t Reserved;
    ShortString<20> Header1;
    ShortString<20> Header2;
    ShortString<20> TagName[ChannelCount];
    ShortString<10> UnitName[ChannelCount];
    std::uint8_t ChannelFlags[ChannelCount]; // bits 0-1 decimal places, bit 6 disabled
    std::int16_t RawValue[ChannelCount];
    std::int16_t MeasuredValue[ChannelCount];
    std::int16_t ReservedA[ChannelCount];
    std::int16_t ReservedB[ChannelCount];
    ChannelCalibration Calibration[ChannelCount];
};

#pragma pack(pop)

static_assert(std::endian::native == std::endian::little, "the block is stored little-endian as in memory");
static_assert(sizeof(ChannelCalibration) == 8);
static_assert(sizeof(ConfigBlock) == 242);
static_assert(offsetof(ConfigBlock, Reserved) == 0);
static_assert(offsetof(ConfigBlock, Header1) == 4);
static_assert(offsetof(ConfigBlock, Header2) == 25);
static_assert(offsetof(ConfigBlock, TagName) == 46);
static_assert(offsetof(ConfigBlock, UnitName) == 130);
static_assert(offsetof(ConfigBlock, ChannelFlags) == 174);
static_assert(offsetof(ConfigBlock, RawValue) == 178);
static_assert(offsetof(ConfigBlock, MeasuredValue) == 186);
static_assert(offsetof(ConfigBlock, ReservedA) == 194);
static_assert(offsetof(ConfigBlock, ReservedB) == 202);
static_assert(offsetof(ConfigBlock, Calibration) == 210);
static_assert(offsetof(ChannelCalibration, Calib1) == 2);
static_assert(offsetof(ChannelCalibration, Measured2) == 4);
static_assert(offsetof(ChannelCalibration, Calib2) == 6);

inline constexpr std::size_t ConfigBlockSize = sizeof(ConfigBlock);
inline constexpr std::uint8_t FlagDecimalsMask = 0x03;
inline constexpr std::uint8_t FlagDisabled = 0x40;

// Fills every field with its default; bytes after each short string's text stay as they were.
void SetBlockDefaults(ConfigBlock& block);
// A block holding the defaults, every byte after a text zero.
ConfigBlock DefaultBlock();

// The block's memory image, as files and the link carry it.
inline std::uint8_t* BlockBytes(ConfigBlock& block) {
    return reinterpret_cast<std::uint8_t*>(&block);
}
inline const std::uint8_t* BlockBytes(const ConfigBlock& block) {
    return reinterpret_cast<const std::uint8_t*>(&block);
}

} // namespace quellix
