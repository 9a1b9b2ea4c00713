#include "BlockFile.h"

#include "ConfigLog.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace quellix {

bool SaveFileAtomically(const QString& name, const QByteArray& bytes, bool inPlaceFallback, QString* error) {
    // Unbuffered: a buffered write error surfacing only at commit is not reliably seen by QSaveFile,
    // which would then rename a truncated file over the old one.
    QSaveFile file(name);
    file.setDirectWriteFallback(inPlaceFallback);
    const bool saved = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                       file.write(bytes) == bytes.size() && file.error() == QFileDevice::NoError &&
                       file.commit();
    if (!saved) {
        qCWarning(lcConfig) << "save failed:" << name << file.errorString();
        if (error)
            *error = file.errorString();
    }
    return saved;
}

void SaveBlockFile(const ConfigBlock& block, const QString& name, const MessageSink& report) {
    // Where only the file itself is writable, the window writes it in place, as the tool always could.
    const QByteArray image(reinterpret_cast<const char*>(BlockBytes(block)), ConfigBlockSize);
    if (!SaveFileAtomically(name, image, true, nullptr))
        report("Cannot Save " + name);
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
