#include "CliFiles.h"

#include "AtomicSave.h"
#include "ConfigJson.h"

#include <QFileInfo>

namespace quellix {

std::optional<ConfigBlock> LoadConfigFile(const QString& path, QString& message,
                                          std::optional<ConfigForm> only) {
    return ReadConfigFile(path, message, only);
}

bool IsStandardOutput(const QString& target) {
    return target == QLatin1String("-");
}

bool NamesAFile(const QString& target) {
    const QFileInfo info(target);
    return !IsStandardOutput(target) && !target.startsWith(QLatin1String("/dev/")) &&
           (!info.exists() || info.isFile());
}

ConfigForm OutputForm(const QString& target) {
    return IsStandardOutput(target) || IsTextFormName(target) ? ConfigForm::Text : ConfigForm::BlockImage;
}

int WriteConfigOutput(const ConfigBlock& block, const QString& target, ConfigForm form, CliOutput& output) {
    const QByteArray bytes =
        form == ConfigForm::Text
            ? ConfigToJson(block)
            : QByteArray(reinterpret_cast<const char*>(BlockBytes(block)), ConfigBlockSize);
    if (IsStandardOutput(target) && form == ConfigForm::Text) {
        output.result() << QString::fromUtf8(bytes);
        return ExitDone;
    }
    if (IsStandardOutput(target)) {
        if (!output.resultBytes(bytes))
            return output.fail(ExitFileError, QStringLiteral("standard output cannot be written"));
        return ExitDone;
    }
    // A pipe another program reads is waited for, as shells wait; a file is never written in place.
    QString reason;
    if (!SaveFileAtomically(target, bytes, SaveOptions{.waitForReader = true}, &reason))
        return output.fail(ExitFileError, target + QStringLiteral(": cannot be written: ") + reason);
    output.detail(QStringLiteral("wrote %1").arg(target));
    return ExitDone;
}

} // namespace quellix
