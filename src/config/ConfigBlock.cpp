#include "ConfigBlock.h"

namespace quellix {

void SetBlockDefaults(ConfigBlock& block) {
    block.Reserved = 0;
    block.Header1.assign("Header Data");
    block.Header2.assign("Additional Info");
    for (int n = 1; n <= ChannelCount; ++n) {
        const int i = n - 1;
        block.TagName[i].assign("Tag " + std::to_string(n));
        block.UnitName[i].assign("unit");
        block.ChannelFlags[i] = static_cast<std::uint8_t>(n);
        block.RawValue[i] = NoValue;
        block.MeasuredValue[i] = NoValue;
        block.ReservedA[i] = 0;
        block.ReservedB[i] = 1024;
        block.Calibration[i] = {100, 100, 1000, 1000};
    }
}

ConfigBlock DefaultBlock() {
    ConfigBlock block{};
    SetBlockDefaults(block);
    return block;
}

} // namespace quellix
