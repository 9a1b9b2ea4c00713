#include "CliFiles.h"

#include "AtomicSave.h"
#include "ConfigFiles.h"
#include "ConfigJson.h"

namespace quellix {

std::optional<ConfigBlock> LoadConfigFile(const QString& path, QString& message) {
    return ReadConfigFile(path, message);
}

bool SaveConfigFile(const ConfigBlock& block, const QString& path, QString& message) {
    const QByteArray bytes =
        IsTextFormName(path) ? ConfigToJson(block)
                             : QByteArray(reinterpret_cast<const char*>(BlockBytes(block)), ConfigBlockSize);
    // No writing in place: a command's output file is either whole and new or untouched.
    QString reason;
    if (SaveFileAtomically(path, bytes, {}, &reason))
        return true;
    message = path + QStringLiteral(": cannot be written: ") + reason;
    return false;
}

} // namespace quellix
