// A configuration block as its 242 file bytes.
#pragma once
#include "ConfigBlock.h"

#include <QByteArray>

namespace quellix {

inline QByteArray BlockImage(const ConfigBlock& block) {
    return QByteArray(reinterpret_cast<const char*>(BlockBytes(block)), ConfigBlockSize);
}

} // namespace quellix
