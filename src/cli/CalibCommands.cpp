#include "CalibCommands.h"

#include "AuditLog.h"
#include "Certificate.h"
#include "ReadingFormat.h"
#include "RecordStore.h"

#include <QGuiApplication>

namespace quellix {

namespace {

// Local time with its UTC offset, as the log writes it.
QString TimeText(const QDateTime& time) {
    return QString::fromLatin1(ReadingTimeText(time.toMSecsSinceEpoch()));
}

void PrintEntry(const AuditEntry& e, QTextStream& out) {
    out << TimeText(e.time) << u' ' << e.user << u'@' << e.host << u' ' << e.tool << u' ' << e.port;
    if (!e.device.isEmpty() && e.device != e.port)
        out << QStringLiteral(" (") << e.device << u')';
    out << QStringLiteral(" \"") << EscapedControls(e.unitVersion) << QStringLiteral("\": ")
        << EscapedControls(e.sent);
    if (!e.record.isEmpty())
        out << QStringLiteral(" [record ") << e.record << u']';
    out << QStringLiteral(" -> ") << EscapedControls(e.result) << u'\n';
    for (const AuditChange& c : e.changes)
        out << QStringLiteral("  ") << c.field << QStringLiteral(": ") << EscapedControls(c.oldValue)
            << QStringLiteral(" -> ") << EscapedControls(c.newValue) << u'\n';
}

QString readingText(const std::optional<PointReading>& r, int decimals) {
    if (!r)
        return QStringLiteral("-");
    return QStringLiteral("%1 shown %2 error %3")
        .arg(MicrosText(r->applied, decimals), MicrosText(r->shown, decimals),
             MicrosText(r->error(), decimals));
}

void PrintRecord(const CalibrationRecord& r, QTextStream& out) {
    out << QStringLiteral("Record %1\n").arg(r.id);
    if (!r.replaces.isEmpty())
        out << QStringLiteral("Replaces %1: %2\n").arg(r.replaces, EscapedControls(r.correctionReason));
    out << QStringLiteral("Unit \"%1\" on %2 (%3), channel %4 \"%5\" in \"%6\"\n")
               .arg(EscapedControls(r.unitVersion), r.port, r.device)
               .arg(r.channel)
               .arg(EscapedControls(r.tag), EscapedControls(r.units));
    out << QStringLiteral("Reference %1, due %2; technician %3\n")
               .arg(EscapedControls(r.referenceId), r.referenceDue.toString(Qt::ISODate),
                    EscapedControls(r.technician));
    out << QStringLiteral("From %1 to %2\n").arg(TimeText(r.started), TimeText(r.ended));
    for (const TestPoint& p : r.points)
        out << QStringLiteral("  %1 %: nominal %2, limit %3; as found %4 (%5); as left %6 (%7)\n")
                   .arg(MicrosText(p.percent, 0), MicrosText(p.nominal, r.decimals()),
                        MicrosText(p.limit, r.decimals()), readingText(p.asFound, r.decimals()),
                        VerdictText(PointVerdict(p.asFound, p.limit)), readingText(p.asLeft, r.decimals()),
                        VerdictText(PointVerdict(p.asLeft, p.limit)));
    out << QStringLiteral("As found: %1; as left: %2; %3\n")
               .arg(VerdictText(AsFoundVerdict(r)), VerdictText(AsLeftVerdict(r)),
                    r.after ? QStringLiteral("adjusted") : QStringLiteral("not adjusted"));
}

int ListRecords(CliOutput& output) {
    QStringList problems;
    const std::vector<RecordSummary> records = RecordStore::Default().List(&problems);
    for (const QString& problem : problems)
        output.note(QStringLiteral("quellix-cli: ") + problem);
    for (const RecordSummary& s : records) {
        output.result() << s.id << u' ' << TimeText(s.ended) << QStringLiteral(" channel ") << s.channel
                        << QStringLiteral(" \"") << EscapedControls(s.tag) << QStringLiteral("\" found ")
                        << VerdictText(s.asFound) << QStringLiteral(" left ") << VerdictText(s.asLeft);
        if (!s.replacedBy.isEmpty())
            output.result() << QStringLiteral(" replaced by ") << s.replacedBy;
        output.result() << u'\n';
    }
    return ExitDone;
}

// A saved record is never changed: a correction is a new record, with a new id, that names the one it
// replaces and why. Only what was written down about the calibration can be corrected (who did it, the
// reference standard); what was measured stays as measured.
int CorrectRecord(const CalibrationRecord& old, const RecordsOptions& o, CliOutput& output) {
    if (o.reason.trimmed().isEmpty())
        return output.fail(ExitUsage, QStringLiteral("records correct needs the reason: --reason TEXT"));
    if (o.technician.isEmpty() && o.reference.isEmpty() && o.referenceDue.isEmpty())
        return output.fail(ExitUsage, QStringLiteral("records correct needs what to correct: --technician, "
                                                     "--reference or --reference-due"));
    CalibrationRecord fixed = old;
    if (!o.referenceDue.isEmpty()) {
        fixed.referenceDue = QDate::fromString(o.referenceDue, Qt::ISODate);
        if (!fixed.referenceDue.isValid())
            return output.fail(ExitUsage, QStringLiteral("--reference-due takes a date such as 2027-06-30, "
                                                         "not %1")
                                              .arg(QuotedText(o.referenceDue)));
    }
    if (!o.technician.isEmpty())
        fixed.technician = o.technician;
    if (!o.reference.isEmpty())
        fixed.referenceId = o.reference;
    fixed.id = NewRecordId(QDateTime::currentDateTimeUtc());
    fixed.replaces = old.id;
    fixed.correctionReason = o.reason.trimmed();
    QString error;
    // The new record goes through the same checks as any record read back.
    if (!RecordFromJson(RecordToJson(fixed), &error) || !RecordStore::Default().Save(fixed, &error))
        return output.fail(ExitFileError, error);
    output.result() << fixed.id << u'\n';
    return ExitDone;
}

} // namespace

int AuditCommand(const AuditOptions& options, CliOutput& output) {
    AuditFilter filter;
    if (!options.since.isEmpty()) {
        const std::optional<QDateTime> since = ParseAuditSince(options.since);
        if (!since)
            return output.fail(ExitUsage, QStringLiteral("--since takes a date such as 2026-12-09 or "
                                                         "2026-12-09T14:00, not %1")
                                              .arg(QuotedText(options.since)));
        filter.since = *since;
    }
    filter.port = options.port;
    AuditReading reading;
    QString error;
    const QString path = AuditLog::Default().Path();
    if (!ReadAuditLog(path, filter, reading, &error))
        return output.fail(ExitFileError, error);
    for (const QString& damaged : reading.damaged)
        output.note(QStringLiteral("quellix-cli: %1: %2").arg(path, damaged));
    for (const AuditEntry& e : reading.entries) {
        if (options.json)
            output.result() << QString::fromUtf8(AuditLine(e));
        else
            PrintEntry(e, output.result());
    }
    return ExitDone;
}

int RecordsCommand(const QStringList& words, const RecordsOptions& options, CliOutput& output) {
    const QString verb = words.value(0);
    const QString& target = options.target;
    if (verb == QLatin1String("list") && words.size() == 1)
        return ListRecords(output);
    static const QStringList verbs{QStringLiteral("show"), QStringLiteral("pdf"), QStringLiteral("correct")};
    if (!verbs.contains(verb) || words.size() != 2)
        return output.fail(ExitUsage,
                           QStringLiteral("records takes list, show ID, pdf ID -o FILE or correct ID"));
    QString error;
    const std::optional<CalibrationRecord> record = RecordStore::Default().Read(words[1], &error);
    if (!record)
        return output.fail(ExitFileError, error);
    if (verb == QLatin1String("show")) {
        PrintRecord(*record, output.result());
        return ExitDone;
    }
    if (verb == QLatin1String("correct"))
        return CorrectRecord(*record, options, output);
    if (target.isEmpty())
        return output.fail(ExitUsage, QStringLiteral("records pdf needs the file to write: -o FILE"));
    // The certificate's layout needs fonts, which only a GUI application has (the offscreen one will do).
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return output.fail(ExitFileError, QStringLiteral("records pdf needs the fonts of a GUI application"));
    if (!WriteCertificatePdf(*record, target, &error))
        return output.fail(ExitFileError, error);
    output.detail(QStringLiteral("wrote %1").arg(target));
    return ExitDone;
}

} // namespace quellix
