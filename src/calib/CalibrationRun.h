// One channel's calibration as the wizard runs it, without widgets: the test points as found, the
// optional adjustment's two raw captures, the points as left, and the record they make. Each point or
// raw capture is taken from the channel's readings once they are stable; times are the caller's steady
// clock in milliseconds.
#pragma once

#include "CalibRecord.h"
#include "Stability.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace quellix {

struct CalibrationSetup {
    int channel = 1;
    QString tag;
    QString units;
    std::uint8_t flags = 0;
    ChannelCalibration before{};
    std::vector<Micros> percents = DefaultPercents();
    ToleranceKind toleranceKind = ToleranceKind::PercentOfSpan;
    Micros tolerance = MicrosPerUnit / 2;
    StabilitySettings stability;
    QString referenceId;
    QDate referenceDue;
    QString technician;
    QString unitVersion;
    QString port;
    QString device;
};

enum class CalibrationStage { AsFound, AsLeft };

// "0, 25, 50" as percents of the span, each within 0..100; nothing, with the reason, for other text.
std::optional<std::vector<Micros>> ParsePercents(const QString& text, QString* error);

class CalibrationRun {
public:
    // Nothing, with the reason, when the channel has no span (a required value missing), is disabled,
    // or the set-up gives no points.
    static std::optional<CalibrationRun> Start(const CalibrationSetup& setup, const QDateTime& started,
                                               QString* error);

    const CalibrationRecord& Record() const { return record_; }

    // Test points, in order, for `stage`: Apply starts waiting for the current one.
    void BeginStage(CalibrationStage stage);
    CalibrationStage Stage() const { return stage_; }
    std::size_t PointIndex() const { return index_; }
    bool StageDone() const { return index_ >= record_.points.size(); }
    // The technician applied `applied` at the current point: the wait for a stable reading starts anew.
    void Apply(Micros applied, std::int64_t nowMs);
    bool Waiting() const { return waiting_; }
    // The channel's displayed value (NoValue: missing). True when it made the current point's reading:
    // the reading was stable, so the point is recorded and the next one is current.
    bool TakeDisplayed(std::int16_t displayed, std::int64_t nowMs);

    // The adjustment: a raw reading for calibration point `point` (1 or 2), taken once stable.
    void BeginCapture(int point, std::int64_t nowMs);
    int Capturing() const { return capturing_; }
    // True when the raw reading is stable; CapturedRaw(point) then holds it.
    bool TakeRaw(std::int16_t raw, std::int64_t nowMs);
    std::optional<std::int16_t> CapturedRaw(int point) const;
    // The calibration sent to the unit; the points' limits stay those of the procedure.
    void SetAdjusted(const ChannelCalibration& after) { record_.after = after; }

    // The stability of the reading waited for now.
    StabilityState StabilityAt(std::int64_t nowMs) const { return detector_.At(nowMs); }
    const StabilityState& Stability() const { return state_; }

    // The record, with its end time; its id is made at the start.
    CalibrationRecord Finish(const QDateTime& ended);

private:
    explicit CalibrationRun(CalibrationRecord record);

    CalibrationRecord record_;
    StabilityDetector detector_;
    StabilityState state_;
    CalibrationStage stage_ = CalibrationStage::AsFound;
    std::size_t index_ = 0;
    bool waiting_ = false;
    int capturing_ = 0;
    std::optional<std::int16_t> captured_[2];
};

} // namespace quellix
