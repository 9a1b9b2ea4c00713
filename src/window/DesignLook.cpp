#include "DesignLook.h"

#include <QApplication>
#include <QPalette>

namespace quellix {

void InstallFontStandIns() {
    static const bool installed = [] {
        QFont::insertSubstitution(ArialNarrow, QStringLiteral("Liberation Sans Narrow"));
        QFont::insertSubstitution(Arial, QStringLiteral("Liberation Sans"));
        QFont::insertSubstitutions(MsSansSerif,
                                   {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
        return true;
    }();
    (void)installed;
}

QFont DesignFont(const char* family, int pixels, bool bold) {
    InstallFontStandIns();
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QColor ButtonFaceColour() {
    return QApplication::palette().color(QPalette::Button);
}

} // namespace quellix
