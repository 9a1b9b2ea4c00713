#include "CalibrationRun.h"

#include <QStringList>

namespace quellix {

std::optional<std::vector<Micros>> ParsePercents(const QString& text, QString* error) {
    std::vector<Micros> percents;
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        const std::optional<Micros> value = TextToMicros(part);
        if (!value || *value < 0 || *value > 100 * MicrosPerUnit) {
            *error = QStringLiteral("\"%1\" is no per cent from 0 to 100").arg(part.trimmed());
            return std::nullopt;
        }
        percents.push_back(*value);
    }
    if (percents.empty()) {
        *error = QStringLiteral("no test points given");
        return std::nullopt;
    }
    return percents;
}

std::optional<CalibrationRun> CalibrationRun::Start(const CalibrationSetup& setup, const QDateTime& started,
                                                    QString* error) {
    const std::optional<Span> span = SpanOf(setup.before, setup.flags);
    if (setup.flags & FlagDisabled) {
        *error = QStringLiteral("channel %1 is disabled: it shows no value to calibrate").arg(setup.channel);
        return std::nullopt;
    }
    if (!span) {
        *error = QStringLiteral("channel %1 has no span: a required value is missing").arg(setup.channel);
        return std::nullopt;
    }
    if (setup.percents.empty()) {
        *error = QStringLiteral("no test points given");
        return std::nullopt;
    }
    CalibrationRecord r;
    // Known from the start, so that the adjustment's audit line can name it.
    r.id = NewRecordId(started);
    r.unitVersion = setup.unitVersion;
    r.port = setup.port;
    r.device = setup.device;
    r.channel = setup.channel;
    r.tag = setup.tag;
    r.units = setup.units;
    r.flags = setup.flags;
    r.toleranceKind = setup.toleranceKind;
    r.tolerance = setup.tolerance;
    r.points = MakeTestPoints(*span, setup.percents, setup.toleranceKind, setup.tolerance);
    r.stability = setup.stability;
    r.referenceId = setup.referenceId;
    r.referenceDue = setup.referenceDue;
    r.technician = setup.technician;
    r.started = started;
    r.before = setup.before;
    return CalibrationRun(std::move(r));
}

CalibrationRun::CalibrationRun(CalibrationRecord record)
    : record_(std::move(record)), detector_(record_.stability) {}

void CalibrationRun::BeginStage(CalibrationStage stage) {
    stage_ = stage;
    index_ = 0;
    waiting_ = false;
    capturing_ = 0;
}

void CalibrationRun::Apply(Micros applied, std::int64_t nowMs) {
    if (StageDone())
        return;
    TestPoint& point = record_.points[index_];
    (stage_ == CalibrationStage::AsFound ? point.asFound : point.asLeft) = PointReading{applied, 0};
    detector_ = StabilityDetector(record_.stability);
    detector_.Restart(nowMs);
    state_ = detector_.At(nowMs);
    waiting_ = true;
}

bool CalibrationRun::TakeDisplayed(std::int16_t displayed, std::int64_t nowMs) {
    if (!waiting_)
        return false;
    state_ = detector_.Add(displayed, nowMs);
    if (!state_.stable())
        return false;
    TestPoint& point = record_.points[index_];
    std::optional<PointReading>& reading = stage_ == CalibrationStage::AsFound ? point.asFound : point.asLeft;
    reading->shown = FixedToMicros(displayed, record_.flags);
    waiting_ = false;
    ++index_;
    return true;
}

void CalibrationRun::BeginCapture(int point, std::int64_t nowMs) {
    capturing_ = point == 2 ? 2 : 1;
    captured_[capturing_ - 1].reset();
    // Raw readings settle in counts: the limit is the procedure's, taken in raw counts.
    detector_ = StabilityDetector(record_.stability);
    detector_.Restart(nowMs);
    state_ = detector_.At(nowMs);
    waiting_ = false;
}

bool CalibrationRun::TakeRaw(std::int16_t raw, std::int64_t nowMs) {
    if (capturing_ == 0)
        return false;
    state_ = detector_.Add(raw, nowMs);
    if (!state_.stable())
        return false;
    captured_[capturing_ - 1] = raw;
    capturing_ = 0;
    return true;
}

std::optional<std::int16_t> CalibrationRun::CapturedRaw(int point) const {
    return point == 1 || point == 2 ? captured_[point - 1] : std::nullopt;
}

CalibrationRecord CalibrationRun::Finish(const QDateTime& ended) {
    record_.ended = ended;
    return record_;
}

} // namespace quellix
