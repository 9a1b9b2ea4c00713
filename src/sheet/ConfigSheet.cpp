#include "ConfigSheet.h"

#include "AtomicSave.h"
#include "Charset.h"
#include "FixedPoint.h"
#include "SheetParts.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>

namespace quellix {

namespace {

// The window's own text of a value: right-aligned there, so the leading blanks go here.
QString valueText(std::int16_t value, std::uint8_t flags) {
    return QString::fromStdString(FixedToText(value, flags)).trimmed().toHtmlEscaped();
}

template <std::size_t Capacity> QString fieldText(const ShortString<Capacity>& s) {
    return ShortStringToText(s).toHtmlEscaped();
}

QString channelRow(const ConfigBlock& block, int i) {
    const std::uint8_t flags = block.ChannelFlags[i];
    const ChannelCalibration& cal = block.Calibration[i];
    return QStringLiteral("<tr>") + Cell(QString::number(i + 1), Align::Centre) +
           Cell(fieldText(block.TagName[i])) + Cell(fieldText(block.UnitName[i])) +
           Cell(QString::number(flags & FlagDecimalsMask), Align::Centre) +
           Cell((flags & FlagDisabled) ? QStringLiteral("yes") : QStringLiteral("no"), Align::Centre) +
           Cell(valueText(cal.Measured1, 0), Align::Right) +
           Cell(valueText(cal.Calib1, flags), Align::Right) +
           Cell(valueText(cal.Measured2, 0), Align::Right) +
           Cell(valueText(cal.Calib2, flags), Align::Right) +
           Cell(valueText(block.RawValue[i], 0), Align::Right) +
           Cell(valueText(block.MeasuredValue[i], flags), Align::Right) + QStringLiteral("</tr>");
}

const char* const Style =
    "body { font-family: 'DejaVu Sans', 'Liberation Sans', sans-serif; font-size: 9pt; }"
    "h1 { font-size: 16pt; margin-bottom: 2pt; }"
    "h2 { font-size: 11pt; margin-top: 16pt; }"
    "p.program { color: #555555; margin-top: 0; }"
    "td.name { font-weight: bold; }"
    "table.channels { border-collapse: collapse; }"
    "table.channels th { background-color: #e8e8e8; font-size: 8pt; }"
    "table.channels th, table.channels td { border: 1px solid #808080; }"
    "td.number { text-align: right; }"
    "td.centre { text-align: center; }"
    "td.pass { color: #006400; font-weight: bold; text-align: center; }"
    "td.fail { color: #b00000; font-weight: bold; text-align: center; }";

} // namespace

QString SheetStart(const char* title) {
    return QStringLiteral("<html><head><style>") + QLatin1String(Style) +
           QStringLiteral("</style></head><body><h1>") + QLatin1String(title) +
           QStringLiteral("</h1><p class=\"program\">Quellix Config V1.0</p>");
}

QString SheetEnd() {
    return QStringLiteral("</body></html>");
}

QString DetailsStart() {
    return QStringLiteral("<table cellspacing=\"0\" cellpadding=\"2\">");
}

QString DetailsEnd() {
    return QStringLiteral("</table>");
}

QString DetailRow(const char* name, const QString& value) {
    return QStringLiteral("<tr><td class=\"name\" width=\"28%\">%1</td><td>%2</td></tr>")
        .arg(QLatin1String(name), value.toHtmlEscaped());
}

QString Cell(const QString& html, Align align) {
    const char* const open[] = {"<td>", "<td class=\"centre\">", "<td class=\"number\">"};
    return QLatin1String(open[static_cast<int>(align)]) + html + QStringLiteral("</td>");
}

QString ConfigSheetHtml(const ConfigBlock& block, const SheetInfo& info) {
    QString html = SheetStart(SheetTitle) + DetailsStart();
    html += DetailRow("Date and time", info.madeAt.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    html +=
        DetailRow("File", info.fileName.isEmpty() ? QStringLiteral("not saved to a file") : info.fileName);
    html += DetailRow("Port", info.port.isEmpty() ? QStringLiteral("No port selected") : info.port);
    html += DetailRow("Unit software version", info.softwareVersion.isEmpty()
                                                   ? QStringLiteral("not read from the unit")
                                                   : info.softwareVersion);
    html += DetailRow("Header 1", ShortStringToText(block.Header1));
    html += DetailRow("Header 2", ShortStringToText(block.Header2));
    html += DetailsEnd();

    // Widths in per cent of the page, so that no heading breaks inside a word.
    html += QStringLiteral(
        "<h2>Channels</h2>"
        "<table class=\"channels\" width=\"100%\" cellspacing=\"0\" cellpadding=\"3\">"
        "<tr><th rowspan=\"2\" width=\"9%\">Channel</th><th rowspan=\"2\" width=\"13%\">Tag</th>"
        "<th rowspan=\"2\" width=\"8%\">Units</th><th rowspan=\"2\" width=\"10%\">Decimals</th>"
        "<th rowspan=\"2\" width=\"10%\">Disabled</th>"
        "<th colspan=\"2\">Calibration point 1</th><th colspan=\"2\">Calibration point 2</th>"
        "<th colspan=\"2\">Last reading</th></tr>"
        "<tr><th width=\"9%\">Raw reading</th><th width=\"9%\">Required value</th>"
        "<th width=\"9%\">Raw reading</th><th width=\"9%\">Required value</th>"
        "<th width=\"7%\">Raw</th><th width=\"7%\">Shown</th></tr>");
    for (int i = 0; i < ChannelCount; ++i)
        html += channelRow(block, i);
    html += QStringLiteral("</table>") + SheetEnd();
    return html;
}

void RenderConfigSheet(const QString& html, QPagedPaintDevice& device) {
    QTextDocument document;
    // Laid out for the device itself, so that the page's own margins are the only ones and sizes in
    // points come out true; print() then adds neither margins nor page numbers.
    document.documentLayout()->setPaintDevice(&device);
    QFont font = document.defaultFont();
    // Without ligatures, "fi" stays two letters in the PDF's text, as searches and copies expect.
    font.setStyleStrategy(QFont::PreferNoShaping);
    document.setDefaultFont(font);
    document.setHtml(html);
    document.setPageSize(device.pageLayout().paintRectPixels(device.logicalDpiX()).size());
    document.print(&device);
}

bool WriteConfigSheetPdf(const QString& html, const QString& path, QString* error) {
    return WriteSheetPdf(html, QLatin1String(SheetTitle), path, error);
}

bool WriteSheetPdf(const QString& html, const QString& title, const QString& path, QString* error) {
    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(12, 15, 12, 15), QPageLayout::Millimeter));
        writer.setResolution(300);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Quellix Config V1.0"));
        RenderConfigSheet(html, writer);
    }
    return SaveFileAtomically(path, pdf, {}, error);
}

} // namespace quellix
