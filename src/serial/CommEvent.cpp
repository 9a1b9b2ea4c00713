#include "CommEvent.h"

namespace quellix {

std::string CommEventText(std::uint32_t errorWord) {
    std::string description;
    auto add = [&description](const char* name) {
        if (!description.empty())
            description += " and ";
        description += name;
    };
    if (errorWord == 0)
        add("NULL Error");
    if (errorWord & CommError::Frame)
        add("CE_FRAME");
    if (errorWord & CommError::Overrun)
        add("CE_OVERRUN");
    if (errorWord & CommError::RxParity)
        add("CE_RXPARITY");
    if (errorWord & 0xFFFFFFF1u)
        add("EV_ERR Unknown EvtMask");
    return "Comm Event: " + description + ", EvtMask = " + std::to_string(errorWord);
}

} // namespace quellix
