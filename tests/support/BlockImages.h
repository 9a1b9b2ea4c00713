// A configuration block as its 242 file bytes.
#pragma once
#include "ConfigBlock.h"

#include <QByteArray>

#include <cstring>

namespace quellix {

inline QByteArray BlockImage(const ConfigBlock& block) {
    return QByteArray(reinterpret_cast<const char*>(BlockBytes(block)), ConfigBlockSize);
}

// The block a 242-byte image holds; the defaults for an image of another size (a file not written).
inline ConfigBlock BlockFromImage(const QByteArray& image) {
    ConfigBlock block = DefaultBlock();
    if (image.size() == ConfigBlockSize)
        std::memcpy(BlockBytes(block), image.constData(), ConfigBlockSize);
    return block;
}

} // namespace quellix
