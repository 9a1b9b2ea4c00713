// Arbitrary text through the number reader, and every value through the formatter and back.
#include "ConfigBlock.h"
#include "FixedPoint.h"

#include <cstdlib>
#include <string_view>

using namespace quellix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t flags = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    const std::int16_t value = TextToFixed(text, flags);
    // A number never turns into NoValue: only unreadable text gives it.
    if (value != NoValue) {
        const std::string shown = FixedToText(value, flags & FlagDecimalsMask);
        if (TextToFixed(shown, flags) != value)
            std::abort();
    }
    if (size >= 3) {
        const auto v = static_cast<std::int16_t>(data[1] | (data[2] << 8));
        const std::string shown = FixedToText(v, flags);
        const std::int16_t back = TextToFixed(shown, flags);
        if (flags & FlagDisabled) {
            if (shown != "  " || back != NoValue)
                std::abort();
        } else if (back != v || shown.size() > 11 || shown.size() < 3) {
            std::abort();
        }
    }
    return 0;
}
