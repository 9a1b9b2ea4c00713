// The rules of the form-state file that need no window: where it lives, what its window-state and
// check-mark values mean, and which serial devices its "Ports" section names.
#pragma once

#include "MemIniFile.h"

#include <QMap>
#include <QString>
#include <optional>

namespace quellix {

// "quellix.INI" in $XDG_CONFIG_HOME, or in ~/.config when that is unset or not absolute.
QString FormStateFilePath();

enum class TShowState { Normal, Minimized, Maximized };
// 1, 5, 9 normal; 2, 6, 7 minimized; 3 maximized; anything else normal.
TShowState ShowStateFromShowCmd(int showCmd);
// 2 while minimized, 3 while maximized, otherwise 1.
int ShowCmdFromWindowState(Qt::WindowStates state);

// "True" or "False" in any case; nothing for any other text.
std::optional<bool> ReadMark(QStringView text);
QString MarkText(bool checked);

// "COM1".."COM8" (key in any case) to the device paths of the "Ports" section; empty values and other
// keys are left out, and the first of repeated keys counts.
QMap<QString, QString> PortDevicePaths(const TMemIniFile& ini);

} // namespace quellix
