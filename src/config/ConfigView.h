// How the window shows a block: the text of every label, the decimal setting and the disabled mark of
// each channel. The window draws from this, and tools without a window show and compare with it.
#pragma once

#include "ConfigBlock.h"

#include <QString>
#include <array>

namespace quellix {

struct ChannelView {
    QString tag;
    QString units;
    int decimals = 0; // the Decimal setting: flags AND 3
    bool disabled = false;
    // Label texts, right-aligned as FixedToText makes them; a disabled channel's displayed values
    // (calib1, calib2, measuredValue) are blanks.
    QString measured1;
    QString calib1;
    QString measured2;
    QString calib2;
    QString measuredValue;
    QString raw;
};

struct BlockView {
    QString header1;
    QString header2;
    std::array<ChannelView, ChannelCount> channels; // channels 1..4 at 0..3
};

BlockView ViewOfBlock(const ConfigBlock& block);

// A value's label text with the given flags.
QString ValueText(std::int16_t value, std::uint8_t flags);

// A value as a plain number in the channel's decimals, without the label's alignment: "10.0", "-0.5",
// "100", and "---" for NoValue. The disabled mark is ignored, so a disabled channel's values can still
// be read and compared.
QString PlainValueText(std::int16_t value, std::uint8_t flags);

} // namespace quellix
