#include "BlockFile.h"

#include "AtomicSave.h"
#include "ConfigFiles.h"
#include "ConfigLog.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace quellix {

namespace {

// Whether the file goes on, past a byte order mark and blanks, with "{"; read on from `head` only as far
// as the blanks go.
bool StartsWithBrace(QFile& file, QByteArray head) {
    if (head.startsWith("\xEF\xBB\xBF"))
        head.remove(0, 3);
    for (; !head.isEmpty(); head = file.read(4096)) {
        for (const char c : head) {
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
                return c == '{';
        }
    }
    return false;
}

} // namespace

void SaveBlockFile(const ConfigBlock& block, const QString& name, const MessageSink& report) {
    // Where only the file itself is writable, the window writes it in place, as the tool always could.
    const QByteArray image(reinterpret_cast<const char*>(BlockBytes(block)), ConfigBlockSize);
    QString error;
    if (!SaveFileAtomically(name, image, SaveOptions{.inPlaceFallback = true}, &error)) {
        qCWarning(lcConfig) << "save failed:" << name << error;
        report("Cannot Save " + name);
    }
}

BlockFileRead ReadBlockFile(const QString& name) {
    BlockFileRead result;
    const QFileInfo info(name);
    if (!info.exists() || info.isDir())
        return result;
    result.status = BlockFileRead::CannotRead;
    // A device or pipe could block or never end; only regular files hold a block image.
    QFile file(name);
    if (!info.isFile()) {
        result.systemReason = QStringLiteral("not a regular file");
        return result;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        result.systemReason = file.errorString();
        return result;
    }
    const QByteArray head = file.read(ConfigBlockSize);
    if (file.error() != QFileDevice::NoError) {
        qCWarning(lcConfig) << "read failed:" << name << file.errorString();
        result.systemReason = file.errorString();
        return result;
    }
    if (IsTextFormName(name) || (info.size() != qint64(ConfigBlockSize) && StartsWithBrace(file, head))) {
        result.status = BlockFileRead::TextForm;
        return result;
    }
    std::memcpy(BlockBytes(result.block), head.constData(), std::size_t(head.size()));
    result.size = head.size();
    result.status = head.size() < qint64(ConfigBlockSize) ? BlockFileRead::TooShort : BlockFileRead::Loaded;
    return result;
}

bool LoadBlockFile(ConfigBlock& block, const QString& name, const MessageSink& report) {
    const BlockFileRead read = ReadBlockFile(name);
    switch (read.status) {
    case BlockFileRead::Loaded:
        block = read.block;
        return true;
    case BlockFileRead::NotFound:
        report("ERROR " + name + " not found");
        return false;
    case BlockFileRead::CannotRead:
        report("Cannot Read " + name);
        return false;
    case BlockFileRead::TooShort:
        report("ERROR " + name);
        return false;
    case BlockFileRead::TextForm:
        report("ERROR " + name + ": the text form of a configuration, not its 242-byte block image");
        return false;
    }
    return false;
}

} // namespace quellix
