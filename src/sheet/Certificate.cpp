#include "Certificate.h"

#include "ConfigSheet.h"
#include "ConfigView.h"
#include "SheetParts.h"

namespace quellix {

namespace {

QString TimeText(const QDateTime& time) {
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss t"));
}

QString VerdictCell(Verdict verdict) {
    const QString word = VerdictText(verdict).toUpper();
    if (verdict == Verdict::Incomplete)
        return Cell(QStringLiteral("—"), Align::Centre);
    return QStringLiteral("<td class=\"%1\">%2</td>").arg(VerdictText(verdict), word);
}

QString ToleranceText(const CalibrationRecord& r) {
    const QString units = r.units.isEmpty() ? QString() : u' ' + r.units;
    const Micros limit = r.points.empty() ? 0 : r.points.front().limit;
    if (r.toleranceKind == ToleranceKind::Units)
        return QStringLiteral("±%1%2").arg(MicrosText(r.tolerance, r.decimals()), units);
    return QStringLiteral("±%1 % of span (±%2%3)")
        .arg(MicrosText(r.tolerance, 0), MicrosText(limit, r.decimals()), units);
}

QString StabilityText(const StabilitySettings& s) {
    return QStringLiteral("%1 readings within %2 steps of the last digit, after %3 s of settling")
        .arg(s.readings)
        .arg(s.limit)
        .arg(MicrosText(s.settlingMs * 1000, 0));
}

QString ReferenceText(const CalibrationRecord& r) {
    if (!r.referenceDue.isValid())
        return r.referenceId + QStringLiteral(", no due date given");
    QString text =
        r.referenceId + QStringLiteral(", calibration due ") + r.referenceDue.toString(Qt::ISODate);
    if (r.referenceDue < r.started.date())
        text += QStringLiteral(" (past due on the day of this calibration)");
    return text;
}

QString Details(const CalibrationRecord& r) {
    const std::optional<Span> span = SpanOf(r.before, r.flags);
    const int d = r.decimals();
    QString html = DetailsStart();
    html += DetailRow("Record", r.id);
    if (!r.replaces.isEmpty())
        html += DetailRow("Corrects record", r.replaces + QStringLiteral(": ") + r.correctionReason);
    html += DetailRow("Unit software version", r.unitVersion);
    html += DetailRow("Port", r.device.isEmpty() || r.device == r.port ? r.port : r.port + u' ' + r.device);
    html += DetailRow("Channel", QStringLiteral("%1, %2 (%3)").arg(r.channel).arg(r.tag, r.units));
    if (span)
        html += DetailRow(
            "Span",
            QStringLiteral("%1 to %2 %3").arg(MicrosText(span->low, d), MicrosText(span->high, d), r.units));
    html += DetailRow("Tolerance", ToleranceText(r));
    html += DetailRow("Stable reading", StabilityText(r.stability));
    html += DetailRow("Reference standard", ReferenceText(r));
    html += DetailRow("Technician", r.technician);
    html += DetailRow("Started", TimeText(r.started));
    html += DetailRow("Ended", TimeText(r.ended));
    return html + DetailsEnd();
}

QString ReadingCells(const std::optional<PointReading>& reading, Micros limit, int d) {
    if (!reading)
        return QStringLiteral("<td colspan=\"3\" class=\"centre\">not read</td>") +
               VerdictCell(Verdict::Incomplete);
    return Cell(MicrosText(reading->applied, d), Align::Right) +
           Cell(MicrosText(reading->shown, d), Align::Right) +
           Cell(MicrosText(reading->error(), d), Align::Right) + VerdictCell(PointVerdict(reading, limit));
}

QString PointsTable(const CalibrationRecord& r) {
    const int d = r.decimals();
    QString html = QStringLiteral(
        "<h2>Test points</h2>"
        "<table class=\"channels\" width=\"100%\" cellspacing=\"0\" cellpadding=\"3\">"
        "<tr><th rowspan=\"2\" width=\"7%\">Point</th><th rowspan=\"2\" width=\"9%\">Nominal</th>"
        "<th rowspan=\"2\" width=\"8%\">Limit ±</th>"
        "<th colspan=\"4\">As found</th><th colspan=\"4\">As left</th></tr>"
        "<tr><th width=\"9%\">Applied</th><th width=\"9%\">Shown</th><th width=\"8%\">Error</th>"
        "<th width=\"9%\">Verdict</th><th width=\"9%\">Applied</th><th width=\"9%\">Shown</th>"
        "<th width=\"8%\">Error</th><th width=\"9%\">Verdict</th></tr>");
    // Without an adjustment a point not read again is as it was found.
    const bool adjusted = r.after.has_value();
    for (const TestPoint& p : r.points) {
        html += QStringLiteral("<tr>") + Cell(MicrosText(p.percent, 0) + QStringLiteral(" %"), Align::Right) +
                Cell(MicrosText(p.nominal, d), Align::Right) + Cell(MicrosText(p.limit, d), Align::Right) +
                ReadingCells(p.asFound, p.limit, d) +
                ReadingCells(p.asLeft || adjusted ? p.asLeft : p.asFound, p.limit, d) +
                QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

QString ConstantsRow(const char* name, const ChannelCalibration& c, std::uint8_t flags) {
    return QStringLiteral("<tr>") + Cell(QLatin1String(name)) +
           Cell(PlainValueText(c.Measured1, 0), Align::Right) +
           Cell(PlainValueText(c.Calib1, flags), Align::Right) +
           Cell(PlainValueText(c.Measured2, 0), Align::Right) +
           Cell(PlainValueText(c.Calib2, flags), Align::Right) + QStringLiteral("</tr>");
}

QString ConstantsTable(const CalibrationRecord& r) {
    QString html =
        QStringLiteral("<h2>Calibration constants</h2>"
                       "<table class=\"channels\" width=\"100%\" cellspacing=\"0\" cellpadding=\"3\">"
                       "<tr><th rowspan=\"2\" width=\"20%\"></th><th colspan=\"2\">Calibration point 1</th>"
                       "<th colspan=\"2\">Calibration point 2</th></tr>"
                       "<tr><th width=\"20%\">Raw reading</th><th width=\"20%\">Required value</th>"
                       "<th width=\"20%\">Raw reading</th><th width=\"20%\">Required value</th></tr>");
    html += ConstantsRow("Before", r.before, r.flags);
    if (r.after)
        html += ConstantsRow("After", *r.after, r.flags);
    else
        html += QStringLiteral("<tr><td>After</td><td colspan=\"4\" class=\"centre\">not adjusted</td></tr>");
    return html + QStringLiteral("</table>");
}

QString VerdictsTable(const CalibrationRecord& r) {
    return QStringLiteral("<h2>Result</h2><table class=\"channels\" cellspacing=\"0\" cellpadding=\"4\">") +
           QStringLiteral("<tr><th>As found</th>") + VerdictCell(AsFoundVerdict(r)) +
           QStringLiteral("<th>As left</th>") + VerdictCell(AsLeftVerdict(r)) +
           QStringLiteral("</tr></table>");
}

QString Signatures() {
    return QStringLiteral("<p><br><br>Technician's signature: "
                          "______________________________ &nbsp;&nbsp;&nbsp; Checked by: "
                          "______________________________</p>");
}

} // namespace

QString CertificateHtml(const CalibrationRecord& record) {
    return SheetStart(CertificateTitle) + Details(record) + PointsTable(record) + ConstantsTable(record) +
           VerdictsTable(record) + Signatures() + SheetEnd();
}

bool WriteCertificatePdf(const CalibrationRecord& record, const QString& path, QString* error) {
    return WriteSheetPdf(CertificateHtml(record), QLatin1String(CertificateTitle), path, error);
}

} // namespace quellix
