// What the configuration sheet and the calibration certificate share: the page's look, its heading,
// rows of details and table cells. Texts passed as values are escaped; nothing from a block, a record or
// a file is read as markup.
#pragma once

#include <QString>

namespace quellix {

enum class Align { Left, Centre, Right };

// The document up to its heading and the program's line under it.
QString SheetStart(const char* title);
QString SheetEnd();
// A row of the details table: a bold name and its value.
QString DetailRow(const char* name, const QString& value);
QString DetailsStart();
QString DetailsEnd();
// A cell of a bordered table, holding markup.
QString Cell(const QString& html, Align align = Align::Left);

} // namespace quellix
