#include "FleetReport.h"

#include "AtomicSave.h"
#include "ConfigJson.h"
#include "ReadingFormat.h"

#include <QStringList>
#include <algorithm>

namespace quellix {

namespace {

QString DifferenceText(const FieldDifference& d) {
    const auto shown = [&d](const QString& value) { return d.text ? QuotedText(value) : value; };
    return d.field + QStringLiteral(": ") + shown(d.first) + QStringLiteral(" -> ") + shown(d.second);
}

QString Seconds(qint64 ms) {
    return QString::number(double(ms) / 1000.0, 'f', 3);
}

QByteArray CsvText(const QString& text) {
    return CsvField(EscapedControls(text));
}

QByteArray JsonText(const QString& text) {
    return QuotedText(text).toUtf8();
}

// The order of severity FleetExitStatus tells: the first found of these wins.
struct Severity {
    UnitOutcome outcome;
    int status;
};
constexpr Severity Failures[] = {
    {UnitOutcome::NoAnswer, 4},
    {UnitOutcome::Stopped, 4},
    {UnitOutcome::PortError, 3},
    {UnitOutcome::FileError, 5},
};

} // namespace

QString OutcomeText(UnitOutcome outcome) {
    switch (outcome) {
    case UnitOutcome::Ok:
        return QStringLiteral("ok");
    case UnitOutcome::Differs:
        return QStringLiteral("differs");
    case UnitOutcome::NoAnswer:
        return QStringLiteral("no answer");
    case UnitOutcome::PortError:
        return QStringLiteral("port error");
    case UnitOutcome::FileError:
        return QStringLiteral("file error");
    case UnitOutcome::Stopped:
        return QStringLiteral("stopped");
    }
    return {};
}

std::optional<ReportForm> ReportFormOf(const QString& path, QString& error) {
    if (path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        return ReportForm::Csv;
    if (path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
        return ReportForm::Json;
    error = QStringLiteral("a report's name ends in \".csv\" or \".json\", which tells its form");
    return std::nullopt;
}

QByteArray ReportCsv(const std::vector<UnitReport>& units, const QTimeZone& zone) {
    QByteArray csv = "name,port,version,result,differences,start,duration,message\n";
    for (const UnitReport& u : units) {
        QStringList differences;
        for (const FieldDifference& d : u.differences)
            differences.push_back(DifferenceText(d));
        csv += CsvText(u.name) + ',' + CsvText(u.port) + ',' + CsvText(u.version) + ',' +
               OutcomeText(u.outcome).toUtf8() + ',' + CsvText(differences.join(QStringLiteral("; "))) + ',' +
               ReadingTimeText(u.startMsecs, zone) + ',' + Seconds(u.durationMs).toUtf8() + ',' +
               CsvText(u.message) + '\n';
    }
    return csv;
}

QByteArray ReportJson(const std::vector<UnitReport>& units, const QTimeZone& zone) {
    QByteArray json = "{\n  \"format\": \"quellix-fleet-report\",\n  \"version\": 1,\n  \"units\": [";
    for (std::size_t i = 0; i < units.size(); ++i) {
        const UnitReport& u = units[i];
        json += i == 0 ? "\n" : ",\n";
        json += "    {\n      \"name\": " + JsonText(u.name) + ",\n      \"port\": " + JsonText(u.port) +
                ",\n      \"version\": " + JsonText(u.version) +
                ",\n      \"result\": " + JsonText(OutcomeText(u.outcome)) + ",\n      \"differences\": [";
        for (std::size_t k = 0; k < u.differences.size(); ++k) {
            const FieldDifference& d = u.differences[k];
            json += (k == 0 ? "\n" : ",\n") + QByteArray("        { \"field\": ") + JsonText(d.field) +
                    ", \"unit\": " + JsonText(d.first) + ", \"desired\": " + JsonText(d.second) + " }";
        }
        json += u.differences.empty() ? "]" : "\n      ]";
        json += ",\n      \"start\": \"" + ReadingTimeText(u.startMsecs, zone) +
                "\",\n      \"duration\": " + Seconds(u.durationMs).toUtf8() +
                ",\n      \"message\": " + JsonText(u.message) + "\n    }";
    }
    json += units.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return json;
}

bool SaveReport(const QString& path, const std::vector<UnitReport>& units, QString* error) {
    QString why;
    const std::optional<ReportForm> form = ReportFormOf(path, why);
    if (!form) {
        if (error)
            *error = why;
        return false;
    }
    SaveOptions options;
    options.waitForReader = true;
    return SaveFileAtomically(path, *form == ReportForm::Csv ? ReportCsv(units) : ReportJson(units), options,
                              error);
}

int FleetExitStatus(const std::vector<UnitReport>& units) {
    const auto has = [&units](UnitOutcome outcome) {
        return std::any_of(units.begin(), units.end(),
                           [outcome](const UnitReport& u) { return u.outcome == outcome; });
    };
    for (const Severity& failure : Failures)
        if (has(failure.outcome))
            return failure.status;
    return has(UnitOutcome::Differs) ? 1 : 0;
}

} // namespace quellix
