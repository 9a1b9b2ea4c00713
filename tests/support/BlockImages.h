// A configuration block as its 242 file bytes, and the defaults on an otherwise zeroed block.
#pragma once
#include "ConfigBlock.h"

#include <QByteArray>

#include <cstring>

namespace quellix {

inline QByteArray BlockImage(const ConfigBlock& block) {
    return QByteArray(reinterpret_cast<const char*>(BlockBytes(block)), ConfigBlockSize);
}

inline ConfigBlock DefaultBlock() {
    ConfigBlock block;
    std::memset(&block, 0, sizeof block);
    SetBlockDefaults(block);
    return block;
}

} // namespace quellix
