#include "FormState.h"

#include <QDir>
#include <QRegularExpression>

namespace quellix {

QString FormStateFilePath() {
    QString dir = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (dir.isEmpty() || QDir::isRelativePath(dir))
        dir = QDir::homePath() + QStringLiteral("/.config");
    return dir + QStringLiteral("/quellix.INI");
}

TShowState ShowStateFromShowCmd(int showCmd) {
    switch (showCmd) {
    case 2:
    case 6:
    case 7:
        return TShowState::Minimized;
    case 3:
        return TShowState::Maximized;
    default:
        return TShowState::Normal;
    }
}

int ShowCmdFromWindowState(Qt::WindowStates state) {
    if (state & Qt::WindowMinimized)
        return 2;
    if (state & Qt::WindowMaximized)
        return 3;
    return 1;
}

std::optional<bool> ReadMark(QStringView text) {
    if (text.compare(u"True", Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(u"False", Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

QString MarkText(bool checked) {
    return checked ? QStringLiteral("True") : QStringLiteral("False");
}

QMap<QString, QString> PortDevicePaths(const TMemIniFile& ini) {
    static const QRegularExpression comName(QStringLiteral("^COM[1-8]$"));
    QMap<QString, QString> paths;
    for (const auto& [key, value] : ini.ReadSection(u"Ports")) {
        const QString name = key.toUpper();
        if (comName.match(name).hasMatch() && !value.isEmpty() && !paths.contains(name))
            paths.insert(name, value);
    }
    return paths;
}

} // namespace quellix
