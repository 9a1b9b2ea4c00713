// The thirteen requests of a whole configuration download, in order, as hex: what the tool sends.
#pragma once

#include <string>
#include <vector>

namespace quellix {

inline const std::vector<std::string> DownloadRequests = {
    "01 76 00",
    "01 63 00",
    "01 70 0A 00 14 00 00 00 00 00 00 00 00",
    "01 70 0A 00 15 00 00 00 00 00 00 00 00",
    "01 70 0A 00 16 00 00 00 00 00 00 00 00",
    "01 70 0A 01 16 00 00 00 00 00 00 00 00",
    "01 70 0A 02 16 00 00 00 00 00 00 00 00",
    "01 70 0A 03 16 00 00 00 00 00 00 00 00",
    "01 70 0A 00 17 00 00 00 00 00 00 00 00",
    "01 70 0A 01 17 00 00 00 00 00 00 00 00",
    "01 70 0A 02 17 00 00 00 00 00 00 00 00",
    "01 70 0A 03 17 00 00 00 00 00 00 00 00",
    "01 70 0A 07 18 00 00 00 00 00 00 00 00",
};

} // namespace quellix
