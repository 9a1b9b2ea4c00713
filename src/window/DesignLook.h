// The designed look shared by the main window and the edit dialog: named colours and fonts at their
// designed pixel sizes, with free stand-ins where the designed fonts are not installed.
#pragma once

#include <QColor>
#include <QFont>

namespace quellix {

inline const QColor clBlack{0, 0, 0};
inline const QColor clSilver{192, 192, 192};
inline const QColor clPurple{128, 0, 128};
inline const QColor clNavy{0, 0, 128};

// The designed font families.
inline constexpr const char* MsSansSerif = "MS Sans Serif";
inline constexpr const char* Arial = "Arial";
inline constexpr const char* ArialNarrow = "Arial Narrow";

// Registers "Liberation Sans Narrow" for "Arial Narrow", "Liberation Sans" for "Arial" and "Liberation
// Sans" or "DejaVu Sans" for "MS Sans Serif"; Qt uses them only where the designed font is missing.
void InstallFontStandIns();

// The family at a size in pixels, as the design gives font heights.
QFont DesignFont(const char* family, int pixels, bool bold = false);

// The face colour of buttons, which the designed windows use as background.
QColor ButtonFaceColour();

} // namespace quellix
