#include "ConfigView.h"

#include "Charset.h"
#include "FixedPoint.h"

namespace quellix {

QString ValueText(std::int16_t value, std::uint8_t flags) {
    return QString::fromStdString(FixedToText(value, flags));
}

QString PlainValueText(std::int16_t value, std::uint8_t flags) {
    return ValueText(value, flags & FlagDecimalsMask).trimmed();
}

BlockView ViewOfBlock(const ConfigBlock& block) {
    BlockView view;
    view.header1 = ShortStringToText(block.Header1);
    view.header2 = ShortStringToText(block.Header2);
    for (std::size_t i = 0; i < view.channels.size(); ++i) {
        ChannelView& c = view.channels[i];
        const std::uint8_t flags = block.ChannelFlags[i];
        const ChannelCalibration& cal = block.Calibration[i];
        c.tag = ShortStringToText(block.TagName[i]);
        c.units = ShortStringToText(block.UnitName[i]);
        c.decimals = flags & FlagDecimalsMask;
        c.disabled = (flags & FlagDisabled) != 0;
        // Raw readings are plain integers whatever the channel's decimals; displayed values take its flags.
        c.measured1 = ValueText(cal.Measured1, 0);
        c.calib1 = ValueText(cal.Calib1, flags);
        c.measured2 = ValueText(cal.Measured2, 0);
        c.calib2 = ValueText(cal.Calib2, flags);
        c.measuredValue = ValueText(block.MeasuredValue[i], flags);
        c.raw = ValueText(block.RawValue[i], 0);
    }
    return view;
}

} // namespace quellix
