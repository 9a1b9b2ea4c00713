#include "BlockFile.h"

#include "ConfigLog.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstring>

namespace quellix {

void SaveBlockFile(const ConfigBlock& block, const QString& name, const MessageSink& report) {
    // The new image goes to a temporary file that replaces the old one only once it is complete, so a
    // failed save never destroys the previous file. Where only the file itself is writable, it is
    // written in place. Unbuffered: a buffered write error surfacing only at commit is not reliably
    // seen by QSaveFile, which would then rename a truncated file over the old one.
    QSaveFile file(name);
    file.setDirectWriteFallback(true);
    const auto bytes = reinterpret_cast<const char*>(BlockBytes(block));
    const bool saved = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                       file.write(bytes, ConfigBlockSize) == qint64(ConfigBlockSize) &&
                       file.error() == QFileDevice::NoError && file.commit();
    if (!saved) {
        qCWarning(lcConfig) << "save failed:" << name << file.errorString();
        report("Cannot Save " + name);
    }
}

bool LoadBlockFile(ConfigBlock& block, const QString& name, const MessageSink& report) {
    const QFileInfo info(name);
    if (!info.exists() || info.isDir()) {
        report("ERROR " + name + " not found");
        return false;
    }
    // A device or pipe could block or never end; only regular files hold a block image.
    QFile file(name);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        report("Cannot Read " + name);
        return false;
    }
    ConfigBlock scratch;
    const qint64 got = file.read(reinterpret_cast<char*>(BlockBytes(scratch)), ConfigBlockSize);
    if (got < 0) {
        qCWarning(lcConfig) << "read failed:" << name << file.errorString();
        report("Cannot Read " + name);
        return false;
    }
    if (got < qint64(ConfigBlockSize)) {
        report("ERROR " + name);
        return false;
    }
    std::memcpy(BlockBytes(block), BlockBytes(scratch), ConfigBlockSize);
    return true;
}

} // namespace quellix
