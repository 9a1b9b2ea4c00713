#include "BlockFile.h"

#include "AtomicSave.h"
#include "ConfigLog.h"

#include <QFile>
#include <QFileInfo>

namespace quellix {

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
    const qint64 got = file.read(reinterpret_cast<char*>(BlockBytes(result.block)), ConfigBlockSize);
    if (got < 0) {
        qCWarning(lcConfig) << "read failed:" << name << file.errorString();
        result.systemReason = file.errorString();
        return result;
    }
    result.size = got;
    result.status = got < qint64(ConfigBlockSize) ? BlockFileRead::TooShort : BlockFileRead::Loaded;
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
    }
    return false;
}

} // namespace quellix
