// The keys of a configuration's text form, object by object, in the order the export writes them: the
// one table that the export, the import, the comparison's field names and data/quellix-config.schema.json
// follow.
#pragma once

#include "ConfigBlock.h"

#include <array>

namespace quellix {

namespace ConfigKey {
inline constexpr char Format[] = "format";
inline constexpr char Version[] = "version";
inline constexpr char Header1[] = "header1";
inline constexpr char Header2[] = "header2";
inline constexpr char Hidden[] = "hidden";
// What a channel holds.
inline constexpr char Tag[] = "tag";
inline constexpr char Units[] = "units";
inline constexpr char Decimals[] = "decimals";
inline constexpr char Disabled[] = "disabled";
inline constexpr char Flags[] = "flags";
inline constexpr char Point1[] = "point1";
inline constexpr char Point2[] = "point2";
// A calibration point or the last reading.
inline constexpr char Raw[] = "raw";
inline constexpr char Value[] = "value";
// What the window never shows.
inline constexpr char Reserved[] = "reserved";
inline constexpr char LastReading[] = "lastReading";
inline constexpr char ReservedA[] = "reservedA";
inline constexpr char ReservedB[] = "reservedB";
// The rest of a text field after its visible text.
inline constexpr char Length[] = "length";
inline constexpr char After[] = "after";
} // namespace ConfigKey

// "channel1".."channel4", for channel n at n - 1.
inline constexpr std::array<const char*, ChannelCount> ChannelKeys = {"channel1", "channel2", "channel3",
                                                                      "channel4"};

inline constexpr std::array TopKeys = {ConfigKey::Format,  ConfigKey::Version, ConfigKey::Header1,
                                       ConfigKey::Header2, ChannelKeys[0],     ChannelKeys[1],
                                       ChannelKeys[2],     ChannelKeys[3],     ConfigKey::Hidden};
inline constexpr std::array ChannelFieldKeys = {ConfigKey::Tag,      ConfigKey::Units, ConfigKey::Decimals,
                                                ConfigKey::Disabled, ConfigKey::Flags, ConfigKey::Point1,
                                                ConfigKey::Point2};
inline constexpr std::array PointKeys = {ConfigKey::Raw, ConfigKey::Value};
inline constexpr std::array HiddenKeys = {ConfigKey::Reserved, ConfigKey::Header1, ConfigKey::Header2,
                                          ChannelKeys[0],      ChannelKeys[1],     ChannelKeys[2],
                                          ChannelKeys[3]};
inline constexpr std::array HiddenChannelKeys = {ConfigKey::Tag, ConfigKey::Units, ConfigKey::LastReading,
                                                 ConfigKey::ReservedA, ConfigKey::ReservedB};
inline constexpr std::array TextRestKeys = {ConfigKey::Length, ConfigKey::After};

} // namespace quellix
