// Arbitrary file contents and lengths through LoadBlockFile: a full block is taken byte for byte,
// anything shorter or in the text form leaves the block untouched, and no text is read beyond its field.
#include "BlockFile.h"
#include "Charset.h"

#include <QDir>
#include <QFile>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace quellix {

namespace {

QString scratchPath() {
    static const QString path = QDir::tempPath() + QString("/quellix-fuzz-%1.qlx").arg(getpid());
    return path;
}

// A file that begins, after a byte order mark and blanks, with "{" and is not exactly a block long
// holds the text form, which is no block image.
bool IsTextForm(const std::uint8_t* data, std::size_t size) {
    std::size_t at = size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    while (at < size && data[at] != 0 && std::strchr(" \t\r\n", data[at]))
        ++at;
    return size != ConfigBlockSize && at < size && data[at] == '{';
}

template <std::size_t N> void readText(const ShortString<N>& s) {
    if (s.text().size() > N || ShortStringToText(s).size() > qsizetype(N))
        std::abort();
}

} // namespace

} // namespace quellix

using namespace quellix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        QFile file(scratchPath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    ConfigBlock block;
    std::memset(&block, 0x5A, sizeof block);
    int messages = 0;
    const bool loaded = LoadBlockFile(block, scratchPath(), [&](const QString&) { ++messages; });

    if (loaded != (size >= ConfigBlockSize && !IsTextForm(data, size)) || messages != (loaded ? 0 : 1))
        std::abort();
    for (std::size_t i = 0; i < ConfigBlockSize; ++i) {
        const std::uint8_t expected = loaded ? data[i] : 0x5A;
        if (BlockBytes(block)[i] != expected)
            std::abort();
    }
    readText(block.Header1);
    readText(block.Header2);
    for (int i = 0; i < 4; ++i) {
        readText(block.TagName[i]);
        readText(block.UnitName[i]);
    }
    return 0;
}
