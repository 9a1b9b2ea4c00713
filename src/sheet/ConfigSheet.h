// The configuration sheet: one A4 page for the unit's records with the window's configuration, as the
// window formats it. Built as HTML without a window; laid out on a printer or written as PDF.
#pragma once

#include "ConfigBlock.h"

#include <QDateTime>
#include <QString>

class QPagedPaintDevice;

namespace quellix {

// What the sheet tells beside the block.
struct SheetInfo {
    QDateTime madeAt;
    QString fileName;        // the configuration file; empty when the window has none
    QString port;            // the port, its device and its state, as the status bar says it
    QString softwareVersion; // the unit's version text; empty when not read from the unit
};

inline constexpr char SheetTitle[] = "Configuration Sheet";

// Texts are escaped: nothing from the block or a file is read as markup.
QString ConfigSheetHtml(const ConfigBlock& block, const SheetInfo& info);

// Lays the sheet out on the device's page (A4 expected).
void RenderConfigSheet(const QString& html, QPagedPaintDevice& device);

// Writes the sheet as a one-page A4 PDF; the file is replaced only once it is complete. False with
// the reason in `error` when it cannot be written.
bool WriteConfigSheetPdf(const QString& html, const QString& path, QString* error);

// Writes any sheet's HTML as A4 PDF pages with `title` as the document's title, as above.
bool WriteSheetPdf(const QString& html, const QString& title, const QString& path, QString* error);

} // namespace quellix
