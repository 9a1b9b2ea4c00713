// The calibration certificate's text as a PDF reader sees it.
#include "Certificate.h"

#include "PdfText.h"
#include "SampleRecord.h"
#include "TempDir.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace quellix {

namespace {

QString Simplified(const QString& text) {
    QStringList lines;
    for (const QString& line : text.split(u'\n'))
        lines << line.simplified();
    return lines.join(u'\n');
}

} // namespace

TEST(Certificate, PdfTellsTheWholeRecord) {
    TempDir dir;
    CalibrationRecord record = SampleRecord();
    record.tag = QStringLiteral("<b>Boiler</b> Flow");
    record.referenceDue = QDate(2026, 12, 1);
    QString error;
    const QString path = dir.file("certificate.pdf");
    ASSERT_TRUE(WriteCertificatePdf(record, path, &error)) << error.toStdString();
    const QString text = Simplified(PdfText(path));
    ASSERT_FALSE(text.startsWith("FAILED:")) << text.toStdString();
    for (const char* said :
         {"Calibration Certificate", "20261209T131503Z-3f9a2c1b", "QX-4 V2.10", "COM1 /dev/ttyUSB0",
          "1, <b>Boiler</b> Flow (m3/h)", "0.0 to 120.0 m3/h", "\u00B10.5 % of span (\u00B10.6 m3/h)",
          "Fluke 726 #4471, calibration due 2026-12-01 (past due on the day of this", "Technician ops",
          "2026-12-09", "Technician's signature"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(said))) << said << "\n" << text.toStdString();
    // Point, nominal, limit, then as found and as left: applied, shown, error, verdict.
    for (const char* row : {"25 % 30.0 0.6 30.0 30.3 0.3 PASS 30.0 30.1 0.1 PASS",
                            "75 % 90.0 0.6 90.0 90.8 0.8 FAIL 90.0 89.9 -0.1 PASS", "Before 0 0.0 1023 120.0",
                            "After 10 0.0 1013 120.0", "As found FAIL As left PASS"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(row))) << row << "\n" << text.toStdString();
    EXPECT_TRUE(PdfInfo(path).contains(QRegularExpression("Pages:\\s+[12]\\n")))
        << PdfInfo(path).toStdString();
}

} // namespace quellix
