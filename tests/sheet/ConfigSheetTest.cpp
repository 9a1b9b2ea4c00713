#include "ConfigSheet.h"

#include "Charset.h"
#include "PdfText.h"
#include "QtPrinters.h"
#include "TempDir.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace quellix {

namespace {

// The demo's plant, with channel 4 disabled and a reading missing on channel 3. Channel 4 counts in
// per mille, a sign Windows-1252 holds at 0x89 where Latin-1 has a control character.
ConfigBlock Plant() {
    ConfigBlock block = DefaultBlock();
    TextToShortString(block.Header1, "Boiler House");
    TextToShortString(block.Header2, "Simulated unit");
    const char* const tags[] = {"Boiler Flow", "Return Temp", "Steam Press", "Tank Level"};
    const QString units[] = {"m3/h", "\u00B0C", "bar", "\u2030"};
    const std::uint8_t flags[] = {0x01, 0x01, 0x02, 0x41};
    const ChannelCalibration points[] = {
        {0, 0, 1023, 1200}, {0, 150, 1023, 950}, {0, 0, 1023, 1600}, {0, 0, 1023, 1000}};
    const std::int16_t raw[] = {512, 488, 530, 671};
    const std::int16_t shown[] = {601, 463, NoValue, 656};
    for (int i = 0; i < 4; ++i) {
        TextToShortString(block.TagName[i], tags[i]);
        TextToShortString(block.UnitName[i], units[i]);
        block.ChannelFlags[i] = flags[i];
        block.Calibration[i] = points[i];
        block.RawValue[i] = raw[i];
        block.MeasuredValue[i] = shown[i];
    }
    return block;
}

SheetInfo Details() {
    return {QDateTime(QDate(2026, 12, 9), QTime(14, 3)), "/home/ops/plant 7.qlx", "COM1 /dev/ttyUSB0 open",
            "QX-4 V2.10"};
}

// The page's lines with their runs of blanks made single, for matching table rows.
QStringList Lines(const QString& text) {
    QStringList lines;
    for (QString line : text.split(u'\n'))
        lines << line.simplified();
    return lines;
}

class Sheet : public testing::Test {
protected:
    QString Export(const ConfigBlock& block, const SheetInfo& info) {
        const QString path = dir.file("sheet.pdf");
        QString error;
        EXPECT_TRUE(WriteConfigSheetPdf(ConfigSheetHtml(block, info), path, &error)) << error.toStdString();
        return path;
    }
    TempDir dir;
};

} // namespace

TEST_F(Sheet, PdfHoldsEveryFieldInTheWindowsFormatting) {
    const QString path = Export(Plant(), Details());
    const QString text = PdfText(path);
    ASSERT_FALSE(text.startsWith("FAILED:")) << text.toStdString();
    const QStringList lines = Lines(text);
    for (const char* field : {"Configuration Sheet", "2026-12-09 14:03", "/home/ops/plant 7.qlx",
                              "COM1 /dev/ttyUSB0 open", "QX-4 V2.10", "Boiler House", "Simulated unit"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(field))) << field;
    // One row per channel: number, tag, units, decimals, disabled, point 1 raw and required, point 2 raw
    // and required, last reading raw and shown. Channel 4 is disabled: like the window, the sheet shows
    // no displayed values for it.
    const char* const rows[] = {
        "1 Boiler Flow m3/h 1 no 0 0.0 1023 120.0 512 60.1",
        "2 Return Temp \u00B0C 1 no 0 15.0 1023 95.0 488 46.3",
        "3 Steam Press bar 2 no 0 0.00 1023 16.00 530 ---",
        "4 Tank Level \u2030 1 yes 0 1023 671",
    };
    for (const char* row : rows)
        EXPECT_TRUE(lines.contains(QString::fromUtf8(row))) << row << "\n" << text.toStdString();
    for (const char* heading :
         {"Channel", "Tag", "Units", "Decimals", "Disabled", "Calibration point 1", "Calibration point 2",
          "Last reading", "Raw", "reading", "Required", "value", "Shown"})
        EXPECT_TRUE(text.contains(QLatin1String(heading))) << heading;

    const QString info = PdfInfo(path);
    EXPECT_TRUE(info.contains(QRegularExpression("Pages:\\s+1\\n"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression("Page size:.*\\(A4\\)"))) << info.toStdString();
}

TEST_F(Sheet, SaysWhatIsNotKnownAndShowsTextsAsTheyAre) {
    ConfigBlock block = Plant();
    TextToShortString(block.TagName[0], "<b>&amp;");
    const QString text = PdfText(Export(block, {QDateTime(QDate(2027, 1, 2), QTime(8, 5)), {}, {}, {}}));
    for (const char* said : {"2027-01-02 08:05", "not saved to a file", "No port selected",
                             "not read from the unit", "<b>&amp;"})
        EXPECT_TRUE(text.contains(QLatin1String(said))) << said << "\n" << text.toStdString();
}

TEST_F(Sheet, AFailedExportLeavesNoFileBehind) {
    const QString path = dir.file("missing/sheet.pdf");
    QString error;
    EXPECT_FALSE(WriteConfigSheetPdf(ConfigSheetHtml(Plant(), Details()), path, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(path));

    // An earlier sheet is replaced whole.
    const QString kept = dir.write("old.pdf", "old");
    ASSERT_TRUE(WriteConfigSheetPdf(ConfigSheetHtml(Plant(), Details()), kept, &error));
    EXPECT_TRUE(TempDir::read(kept).startsWith("%PDF-"));
}

} // namespace quellix
