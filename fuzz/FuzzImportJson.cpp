// Arbitrary text through the text form's import: it either fails with a reason, or gives a block whose
// export imports back to the same bytes and exports to the same text.
#include "ConfigJson.h"

#include <cstdlib>
#include <cstring>

using namespace quellix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray json(reinterpret_cast<const char*>(data), qsizetype(size));
    ConfigJsonError error;
    const std::optional<ConfigBlock> block = ConfigFromJson(json, &error);
    if (!block) {
        if (error.reason.isEmpty())
            std::abort();
        return 0;
    }
    const QByteArray exported = ConfigToJson(*block);
    const std::optional<ConfigBlock> back = ConfigFromJson(exported);
    if (!back || std::memcmp(BlockBytes(*back), BlockBytes(*block), ConfigBlockSize) != 0)
        std::abort();
    if (ConfigToJson(*back) != exported)
        std::abort();
    return 0;
}
