#include "ToolWindowPlace.h"

#include "FormState.h"
#include "MemIniFile.h"

#include <algorithm>

namespace quellix {

namespace {
constexpr int Gap = 8; // between the two frames
const QString GeometryKey = QStringLiteral("Geometry");
} // namespace

QRect PlaceBeside(const QRect& mainFrame, const QSize& wanted, const QSize& minimum, const QRect& screen) {
    const int rightRoom = screen.right() - mainFrame.right() - Gap;
    const int leftRoom = mainFrame.left() - screen.left() - Gap;
    const bool right = wanted.width() <= rightRoom || (wanted.width() > leftRoom && rightRoom >= leftRoom);
    const int room = right ? rightRoom : leftRoom;
    const int width = std::min({wanted.width(), std::max(room, minimum.width()), screen.width()});
    const int height = std::min(wanted.height(), screen.height());
    int x = right ? mainFrame.right() + 1 + Gap : mainFrame.left() - Gap - width;
    x = std::clamp(x, screen.left(), screen.right() + 1 - width);
    const int y = std::clamp(mainFrame.top(), screen.top(), screen.bottom() + 1 - height);
    return {x, y, width, height};
}

QByteArray ReadToolGeometry(const QString& section) {
    const TMemIniFile ini(FormStateFilePath());
    return QByteArray::fromBase64(ini.ReadString(section, GeometryKey).value_or(QString()).toLatin1());
}

bool WriteToolGeometry(const QString& section, const QByteArray& geometry) {
    TMemIniFile ini(FormStateFilePath());
    ini.WriteString(section, GeometryKey, QString::fromLatin1(geometry.toBase64()));
    return ini.UpdateFile();
}

} // namespace quellix
