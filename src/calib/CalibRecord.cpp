#include "CalibRecord.h"

#include "ConfigJson.h"
#include "ConfigView.h"
#include "FixedPoint.h"
#include "OrderedJson.h"
#include "ReadingFormat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace quellix {

namespace {

constexpr char Format[] = "quellix-calibration-record";
constexpr int FormatVersion = 1;

QByteArray textOrNull(const QString& text) {
    return text.isEmpty() ? QByteArray("null") : JsonText(text);
}

QByteArray timeText(const QDateTime& time) {
    return JsonText(QString::fromLatin1(ReadingTimeText(time.toMSecsSinceEpoch())));
}

const char* toleranceName(ToleranceKind kind) {
    return kind == ToleranceKind::Units ? "units" : "percentOfSpan";
}

void addPoints(JsonNode& parent, const char* name, const ChannelCalibration& c, std::uint8_t flags) {
    JsonNode& node = parent.addObject(name);
    const auto raw = [](std::int16_t v) { return v == NoValue ? QByteArray("null") : QByteArray::number(v); };
    const auto value = [flags](std::int16_t v) {
        return v == NoValue ? QByteArray("null") : JsonText(PlainValueText(v, flags));
    };
    node.addObject("point1", true).add("raw", raw(c.Measured1)).add("value", value(c.Calib1));
    node.addObject("point2", true).add("raw", raw(c.Measured2)).add("value", value(c.Calib2));
}

void addReading(JsonNode& point, const char* name, const std::optional<PointReading>& reading, Micros limit,
                int decimals) {
    if (!reading) {
        point.add(name, "null");
        return;
    }
    JsonNode& node = point.addObject(name, true);
    node.add("applied", JsonText(MicrosText(reading->applied, decimals)));
    node.add("shown", JsonText(MicrosText(reading->shown, decimals)));
    node.add("error", JsonText(MicrosText(reading->error(), decimals)));
    node.add("verdict", JsonText(VerdictText(PointVerdict(reading, limit))));
}

// Reads the JSON back, remembering the first fault with its key path.
class Reader {
public:
    QString error;

    void Fail(const QString& path, const QString& reason) {
        if (error.isEmpty())
            error = (path.isEmpty() ? QStringLiteral("(document)") : path) + QStringLiteral(": ") + reason;
    }

    QJsonObject Object(const QJsonValue& value, const QString& path,
                       std::initializer_list<const char*> keys) {
        if (!value.isObject()) {
            Fail(path, QStringLiteral("not an object"));
            return {};
        }
        const QJsonObject object = value.toObject();
        for (const char* key : keys)
            if (!object.contains(QLatin1String(key)))
                Fail(Join(path, key), QStringLiteral("missing"));
        for (auto it = object.begin(); it != object.end(); ++it)
            if (std::find_if(keys.begin(), keys.end(),
                             [&](const char* k) { return it.key() == QLatin1String(k); }) == keys.end())
                Fail(Join(path, it.key()), QStringLiteral("unknown key"));
        return object;
    }

    QString Text(const QJsonObject& o, const char* key, const QString& path, bool nullable = false) {
        const QJsonValue v = o[QLatin1String(key)];
        if (nullable && v.isNull())
            return {};
        if (!v.isString())
            Fail(Join(path, key),
                 nullable ? QStringLiteral("not a text or null") : QStringLiteral("not a text"));
        return v.toString();
    }

    int Integer(const QJsonObject& o, const char* key, const QString& path, int low, int high) {
        const QJsonValue v = o[QLatin1String(key)];
        const double d = v.toDouble(-1e300);
        if (!v.isDouble() || d != std::trunc(d) || d < low || d > high)
            Fail(Join(path, key), QStringLiteral("not a whole number from %1 to %2").arg(low).arg(high));
        return v.toInt();
    }

    Micros Decimal(const QJsonObject& o, const char* key, const QString& path) {
        const std::optional<Micros> m = TextToMicros(Text(o, key, path));
        if (!m)
            Fail(Join(path, key), QStringLiteral("not a number written out with at most six decimals"));
        return m.value_or(0);
    }

    QDateTime Time(const QJsonObject& o, const char* key, const QString& path) {
        const QDateTime t = QDateTime::fromString(Text(o, key, path), Qt::ISODateWithMs);
        if (!t.isValid())
            Fail(Join(path, key), QStringLiteral("not a date and time"));
        return t;
    }

    static QString Join(const QString& path, QStringView key) {
        return path.isEmpty() ? key.toString() : path + u'.' + key.toString();
    }
    static QString Join(const QString& path, const char* key) { return Join(path, QString::fromLatin1(key)); }
};

std::int16_t readRaw(Reader& r, const QJsonObject& o, const QString& path) {
    const QJsonValue v = o[QLatin1String("raw")];
    return v.isNull() ? NoValue : static_cast<std::int16_t>(r.Integer(o, "raw", path, -32767, 32767));
}

std::int16_t readValue(Reader& r, const QJsonObject& o, const QString& path, std::uint8_t flags) {
    const QJsonValue v = o[QLatin1String("value")];
    if (v.isNull())
        return NoValue;
    const std::optional<std::int16_t> value =
        ExactTextToFixed(v.toString().toStdString(), flags & FlagDecimalsMask);
    if (!v.isString() || !value)
        r.Fail(Reader::Join(path, "value"), QStringLiteral("not a value in the channel's decimals"));
    return value.value_or(NoValue);
}

ChannelCalibration readCalibration(Reader& r, const QJsonValue& value, const QString& path,
                                   std::uint8_t flags) {
    const QJsonObject o = r.Object(value, path, {"point1", "point2"});
    const QString p1 = Reader::Join(path, "point1"), p2 = Reader::Join(path, "point2");
    const QJsonObject a = r.Object(o["point1"], p1, {"raw", "value"});
    const QJsonObject b = r.Object(o["point2"], p2, {"raw", "value"});
    return {readRaw(r, a, p1), readValue(r, a, p1, flags), readRaw(r, b, p2), readValue(r, b, p2, flags)};
}

std::optional<PointReading> readReading(Reader& r, const QJsonValue& value, const QString& path,
                                        Micros limit) {
    if (value.isNull())
        return std::nullopt;
    const QJsonObject o = r.Object(value, path, {"applied", "shown", "error", "verdict"});
    PointReading reading{r.Decimal(o, "applied", path), r.Decimal(o, "shown", path)};
    if (r.Decimal(o, "error", path) != reading.error())
        r.Fail(Reader::Join(path, "error"), QStringLiteral("not shown less applied"));
    if (r.Text(o, "verdict", path) != VerdictText(PointVerdict(reading, limit)))
        r.Fail(Reader::Join(path, "verdict"), QStringLiteral("not what the error and the limit give"));
    return reading;
}

void readProcedure(Reader& r, const QJsonValue& value, CalibrationRecord& record) {
    const QString path = QStringLiteral("procedure");
    const QJsonObject o = r.Object(value, path, {"span", "tolerance", "stability"});
    const QString spanPath = Reader::Join(path, "span");
    const QJsonObject span = r.Object(o["span"], spanPath, {"low", "high"});
    const std::optional<Span> expected = SpanOf(record.before, record.flags);
    if (!expected || r.Decimal(span, "low", spanPath) != expected->low ||
        r.Decimal(span, "high", spanPath) != expected->high)
        r.Fail(spanPath, QStringLiteral("not the span of the calibration before"));
    const QString tolPath = Reader::Join(path, "tolerance");
    const QJsonObject tolerance = r.Object(o["tolerance"], tolPath, {"value", "in"});
    record.tolerance = r.Decimal(tolerance, "value", tolPath);
    const QString in = r.Text(tolerance, "in", tolPath);
    record.toleranceKind = in == QLatin1String("units") ? ToleranceKind::Units : ToleranceKind::PercentOfSpan;
    if (in != QLatin1String(toleranceName(record.toleranceKind)) || record.tolerance < 0)
        r.Fail(tolPath, QStringLiteral("not a tolerance in \"units\" or \"percentOfSpan\""));
    const QString sPath = Reader::Join(path, "stability");
    const QJsonObject s = r.Object(o["stability"], sPath, {"readings", "limit", "settlingMs", "maxGapMs"});
    StabilitySettings& st = record.stability;
    st.readings = r.Integer(s, "readings", sPath, 2, StabilitySettings::MaxReadings);
    st.limit = r.Integer(s, "limit", sPath, 0, 65535);
    st.settlingMs = r.Integer(s, "settlingMs", sPath, 0, 3600000);
    st.maxGapMs = r.Integer(s, "maxGapMs", sPath, 1, 3600000);
}

void readPoints(Reader& r, const QJsonValue& value, CalibrationRecord& record) {
    const QJsonArray points = value.toArray();
    if (!value.isArray() || points.isEmpty())
        r.Fail(QStringLiteral("points"), QStringLiteral("not a list of test points"));
    const std::optional<Span> span = SpanOf(record.before, record.flags);
    for (qsizetype i = 0; i < points.size(); ++i) {
        const QString path = QStringLiteral("points[%1]").arg(i);
        const QJsonObject o = r.Object(points[i], path, {"percent", "nominal", "limit", "asFound", "asLeft"});
        TestPoint p;
        p.percent = r.Decimal(o, "percent", path);
        p.limit = r.Decimal(o, "limit", path);
        const std::vector<TestPoint> made =
            MakeTestPoints(span.value_or(Span{}), {p.percent}, record.toleranceKind, record.tolerance);
        p.nominal = r.Decimal(o, "nominal", path);
        if (p.nominal != made[0].nominal || p.limit != made[0].limit)
            r.Fail(path, QStringLiteral("nominal value or limit not those of its percent and the tolerance"));
        p.asFound = readReading(r, o["asFound"], Reader::Join(path, "asFound"), p.limit);
        p.asLeft = readReading(r, o["asLeft"], Reader::Join(path, "asLeft"), p.limit);
        record.points.push_back(p);
    }
}

void readHeader(Reader& r, const QJsonObject& root, CalibrationRecord& record) {
    if (root["format"].toString() != QLatin1String(Format))
        r.Fail(QStringLiteral("format"), QStringLiteral("not \"%1\"").arg(QLatin1String(Format)));
    if (root["version"].toInt() != FormatVersion || !root["version"].isDouble())
        r.Fail(QStringLiteral("version"), QStringLiteral("not %1").arg(FormatVersion));
    record.id = r.Text(root, "id", {});
    record.replaces = r.Text(root, "replaces", {}, true);
    record.correctionReason = r.Text(root, "correctionReason", {}, true);
    if (!IsRecordId(record.id))
        r.Fail(QStringLiteral("id"), QStringLiteral("not a record id"));
    if (!record.replaces.isEmpty() && (!IsRecordId(record.replaces) || record.replaces == record.id))
        r.Fail(QStringLiteral("replaces"), QStringLiteral("not the id of another record"));
    const QString u = QStringLiteral("unit");
    const QJsonObject unit = r.Object(root["unit"], u, {"version", "port", "device"});
    record.unitVersion = r.Text(unit, "version", u);
    record.port = r.Text(unit, "port", u);
    record.device = r.Text(unit, "device", u);
    const QString c = QStringLiteral("channel");
    const QJsonObject channel = r.Object(root["channel"], c, {"number", "tag", "units", "decimals", "flags"});
    record.channel = r.Integer(channel, "number", c, 1, ChannelCount);
    record.tag = r.Text(channel, "tag", c);
    record.units = r.Text(channel, "units", c);
    bool ok = false;
    const QString flags = r.Text(channel, "flags", c);
    record.flags = static_cast<std::uint8_t>(flags.mid(2).toUInt(&ok, 16));
    if (!flags.startsWith(QLatin1String("0x")) || flags.size() != 4 || !ok)
        r.Fail(Reader::Join(c, "flags"), QStringLiteral("not a byte such as \"0x01\""));
    if (r.Integer(channel, "decimals", c, 0, 3) != record.decimals())
        r.Fail(Reader::Join(c, "decimals"), QStringLiteral("not the decimals of the flags byte"));
}

void readPeople(Reader& r, const QJsonObject& root, CalibrationRecord& record) {
    const QString ref = QStringLiteral("reference");
    const QJsonObject reference = r.Object(root["reference"], ref, {"id", "due"});
    record.referenceId = r.Text(reference, "id", ref);
    const QString due = r.Text(reference, "due", ref, true);
    record.referenceDue = QDate::fromString(due, Qt::ISODate);
    if (!due.isEmpty() && !record.referenceDue.isValid())
        r.Fail(Reader::Join(ref, "due"), QStringLiteral("not a date such as \"2027-03-01\""));
    record.technician = r.Text(root, "technician", {});
    record.started = r.Time(root, "started", {});
    record.ended = r.Time(root, "ended", {});
    if (record.ended < record.started)
        r.Fail(QStringLiteral("ended"), QStringLiteral("before the start"));
}

} // namespace

std::optional<Span> SpanOf(const ChannelCalibration& c, std::uint8_t flags) {
    if (c.Calib1 == NoValue || c.Calib2 == NoValue)
        return std::nullopt;
    return Span{FixedToMicros(c.Calib1, flags), FixedToMicros(c.Calib2, flags)};
}

std::vector<Micros> DefaultPercents() {
    return {0, 25 * MicrosPerUnit, 50 * MicrosPerUnit, 75 * MicrosPerUnit, 100 * MicrosPerUnit};
}

std::vector<TestPoint> MakeTestPoints(const Span& span, const std::vector<Micros>& percents,
                                      ToleranceKind kind, Micros tolerance) {
    const Micros width = span.high - span.low;
    const Micros limit = kind == ToleranceKind::Units ? tolerance : PercentOf(std::llabs(width), tolerance);
    std::vector<TestPoint> points;
    for (const Micros percent : percents)
        points.push_back({percent, span.low + PercentOf(width, percent), limit, {}, {}});
    return points;
}

Verdict PointVerdict(const std::optional<PointReading>& reading, Micros limit) {
    if (!reading)
        return Verdict::Incomplete;
    return std::llabs(reading->error()) <= limit ? Verdict::Pass : Verdict::Fail;
}

namespace {

template <typename Pick> Verdict Overall(const CalibrationRecord& record, Pick pick) {
    Verdict overall = Verdict::Pass;
    for (const TestPoint& p : record.points) {
        const Verdict v = PointVerdict(pick(p), p.limit);
        if (v == Verdict::Fail)
            return Verdict::Fail;
        if (v == Verdict::Incomplete)
            overall = Verdict::Incomplete;
    }
    return record.points.empty() ? Verdict::Incomplete : overall;
}

} // namespace

Verdict AsFoundVerdict(const CalibrationRecord& record) {
    return Overall(record, [](const TestPoint& p) { return p.asFound; });
}

Verdict AsLeftVerdict(const CalibrationRecord& record) {
    const bool adjusted = record.after.has_value();
    return Overall(record,
                   [adjusted](const TestPoint& p) { return p.asLeft || adjusted ? p.asLeft : p.asFound; });
}

QString VerdictText(Verdict verdict) {
    switch (verdict) {
    case Verdict::Pass:
        return QStringLiteral("pass");
    case Verdict::Fail:
        return QStringLiteral("fail");
    case Verdict::Incomplete:
        break;
    }
    return QStringLiteral("incomplete");
}

QString NewRecordId(const QDateTime& at) {
    const quint32 random = QRandomGenerator::system()->generate();
    return at.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z-'")) +
           QString::number(random, 16).rightJustified(8, u'0');
}

bool IsRecordId(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^[0-9]{8}T[0-9]{6}Z-[0-9a-f]{8}$"));
    return pattern.match(text).hasMatch();
}

QByteArray RecordToJson(const CalibrationRecord& r) {
    const int d = r.decimals();
    JsonNode root;
    root.add("format", JsonText(QLatin1String(Format))).add("version", QByteArray::number(FormatVersion));
    root.add("id", JsonText(r.id)).add("replaces", textOrNull(r.replaces));
    root.add("correctionReason", textOrNull(r.correctionReason));
    root.addObject("unit")
        .add("version", JsonText(r.unitVersion))
        .add("port", JsonText(r.port))
        .add("device", JsonText(r.device));
    root.addObject("channel")
        .add("number", QByteArray::number(r.channel))
        .add("tag", JsonText(r.tag))
        .add("units", JsonText(r.units))
        .add("decimals", QByteArray::number(d))
        .add("flags",
             QByteArray("\"0x") + QByteArray::number(r.flags, 16).rightJustified(2, '0').toUpper() + '"');
    JsonNode& procedure = root.addObject("procedure");
    const Span span = SpanOf(r.before, r.flags).value_or(Span{});
    procedure.addObject("span", true)
        .add("low", JsonText(MicrosText(span.low, d)))
        .add("high", JsonText(MicrosText(span.high, d)));
    procedure.addObject("tolerance", true)
        .add("value", JsonText(MicrosText(r.tolerance, 0)))
        .add("in", JsonText(QLatin1String(toleranceName(r.toleranceKind))));
    procedure.addObject("stability", true)
        .add("readings", QByteArray::number(r.stability.readings))
        .add("limit", QByteArray::number(r.stability.limit))
        .add("settlingMs", QByteArray::number(r.stability.settlingMs))
        .add("maxGapMs", QByteArray::number(r.stability.maxGapMs));
    root.addObject("reference")
        .add("id", JsonText(r.referenceId))
        .add("due",
             r.referenceDue.isValid() ? JsonText(r.referenceDue.toString(Qt::ISODate)) : QByteArray("null"));
    root.add("technician", JsonText(r.technician));
    root.add("started", timeText(r.started)).add("ended", timeText(r.ended));
    JsonNode& points = root.addArray("points");
    for (const TestPoint& p : r.points) {
        JsonNode& node = points.appendObject();
        node.add("percent", JsonText(MicrosText(p.percent, 0)));
        node.add("nominal", JsonText(MicrosText(p.nominal, d)))
            .add("limit", JsonText(MicrosText(p.limit, d)));
        addReading(node, "asFound", p.asFound, p.limit, d);
        addReading(node, "asLeft", p.asLeft, p.limit, d);
    }
    addPoints(root, "calibrationBefore", r.before, r.flags);
    if (r.after)
        addPoints(root, "calibrationAfter", *r.after, r.flags);
    else
        root.add("calibrationAfter", "null");
    root.addObject("verdicts", true)
        .add("asFound", JsonText(VerdictText(AsFoundVerdict(r))))
        .add("asLeft", JsonText(VerdictText(AsLeftVerdict(r))));
    return RenderJson(root) + '\n';
}

std::optional<CalibrationRecord> RecordFromJson(const QByteArray& json, QString* error) {
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &parse);
    Reader r;
    if (parse.error != QJsonParseError::NoError)
        r.Fail({}, parse.errorString());
    const QJsonObject root = r.Object(document.object(), {},
                                      {"format", "version", "id", "replaces", "correctionReason", "unit",
                                       "channel", "procedure", "reference", "technician", "started", "ended",
                                       "points", "calibrationBefore", "calibrationAfter", "verdicts"});
    CalibrationRecord record;
    if (r.error.isEmpty()) {
        readHeader(r, root, record);
        record.before =
            readCalibration(r, root["calibrationBefore"], QStringLiteral("calibrationBefore"), record.flags);
        if (!root["calibrationAfter"].isNull())
            record.after = readCalibration(r, root["calibrationAfter"], QStringLiteral("calibrationAfter"),
                                           record.flags);
        readProcedure(r, root["procedure"], record);
        readPeople(r, root, record);
        readPoints(r, root["points"], record);
        const QJsonObject verdicts =
            r.Object(root["verdicts"], QStringLiteral("verdicts"), {"asFound", "asLeft"});
        if (verdicts["asFound"].toString() != VerdictText(AsFoundVerdict(record)) ||
            verdicts["asLeft"].toString() != VerdictText(AsLeftVerdict(record)))
            r.Fail(QStringLiteral("verdicts"), QStringLiteral("not those the points give"));
    }
    if (!r.error.isEmpty()) {
        if (error)
            *error = r.error;
        return std::nullopt;
    }
    return record;
}

} // namespace quellix
