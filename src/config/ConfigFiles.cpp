#include "ConfigFiles.h"

#include "BlockFile.h"
#include "ConfigJson.h"

#include <QFile>
#include <QFileInfo>

namespace quellix {

namespace {

// A text form is a few kilobytes; anything far larger is not one, and is not read whole.
constexpr qint64 MaxTextFormSize = 1 << 20;

std::optional<ConfigBlock> loadTextForm(const QString& path, QString& message) {
    const QFileInfo info(path);
    QFile file(path);
    if (!info.exists() || info.isDir()) {
        message = path + QStringLiteral(": no such file");
        return std::nullopt;
    }
    if (!info.isFile()) {
        message = path + QStringLiteral(": cannot be read: not a regular file");
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        message = path + QStringLiteral(": cannot be read: ") + file.errorString();
        return std::nullopt;
    }
    const QByteArray json = file.read(MaxTextFormSize + 1);
    if (file.error() != QFileDevice::NoError) {
        message = path + QStringLiteral(": cannot be read: ") + file.errorString();
        return std::nullopt;
    }
    if (json.size() > MaxTextFormSize) {
        message = path + QStringLiteral(": too large for a configuration's text form");
        return std::nullopt;
    }
    ConfigJsonError error;
    std::optional<ConfigBlock> block = ConfigFromJson(json, &error);
    if (!block)
        message = path + QStringLiteral(": ") +
                  (error.path.isEmpty() ? QString() : error.path + QStringLiteral(": ")) + error.reason;
    return block;
}

std::optional<ConfigBlock> imageOf(const BlockFileRead& read, const QString& path, QString& message) {
    switch (read.status) {
    case BlockFileRead::Loaded:
        return read.block;
    case BlockFileRead::NotFound:
        message = path + QStringLiteral(": no such file");
        break;
    case BlockFileRead::CannotRead:
        message = path + QStringLiteral(": cannot be read: ") + read.systemReason;
        break;
    case BlockFileRead::TooShort:
        message = path + QStringLiteral(": %1 bytes, too short for a configuration of %2 bytes")
                             .arg(read.size)
                             .arg(ConfigBlockSize);
        break;
    case BlockFileRead::TextForm:
        break;
    }
    return std::nullopt;
}

} // namespace

bool IsTextFormName(const QString& path) {
    return path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive);
}

std::optional<ConfigBlock> ReadConfigFile(const QString& path, QString& message,
                                          std::optional<ConfigForm> only) {
    const BlockFileRead read = ReadBlockFile(path);
    const bool held = read.status == BlockFileRead::Loaded || read.status == BlockFileRead::TooShort ||
                      read.status == BlockFileRead::TextForm;
    const ConfigForm found =
        read.status == BlockFileRead::TextForm ? ConfigForm::Text : ConfigForm::BlockImage;
    if (held && only && found != *only) {
        message = path + (found == ConfigForm::Text
                              ? QStringLiteral(": the text form of a configuration, not a block image")
                              : QStringLiteral(": a block image, not the text form of a configuration (whose "
                                               "name ends in \".json\" or which begins with \"{\")"));
        return std::nullopt;
    }
    return found == ConfigForm::Text ? loadTextForm(path, message) : imageOf(read, path, message);
}

} // namespace quellix
