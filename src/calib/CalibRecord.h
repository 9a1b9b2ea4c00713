// The record of one channel's calibration: which unit, channel and procedure, the reference standard,
// who and when, each test point as found and as left, the calibration constants before and after, and
// the verdicts. Written as JSON ("quellix-calibration-record", described by
// data/quellix-calibration-record.schema.json) with its keys in a fixed order; values are decimal texts
// so that nothing is rounded on the way.
#pragma once

#include "ConfigBlock.h"
#include "Micros.h"
#include "Stability.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace quellix {

enum class Verdict { Pass, Fail, Incomplete };
enum class ToleranceKind { Units, PercentOfSpan };

// One reading of a test point: the reference's value applied, as the technician entered it, and the
// value the channel displayed once stable.
struct PointReading {
    Micros applied = 0;
    Micros shown = 0;
    Micros error() const { return shown - applied; }
};

struct TestPoint {
    Micros percent = 0; // of the span, in millionths of a percent
    Micros nominal = 0; // the value to apply: `percent` of the way from the span's low to its high end
    Micros limit = 0;   // the largest error, either way, that passes
    std::optional<PointReading> asFound;
    std::optional<PointReading> asLeft;
};

struct CalibrationRecord {
    QString id;
    QString replaces;         // the id of the record this one corrects; empty for none
    QString correctionReason; // why, for a correction
    // The unit and channel.
    QString unitVersion;
    QString port;   // as the user named it: "COM1" or a device path
    QString device; // the device it opened
    int channel = 1;
    QString tag;
    QString units;
    std::uint8_t flags = 0; // the channel's flags byte when the calibration started (decimals, disabled)
    // The procedure.
    std::vector<TestPoint> points;
    ToleranceKind toleranceKind = ToleranceKind::Units;
    Micros tolerance = 0; // in the channel's units, or in millionths of a percent of the span
    StabilitySettings stability;
    // The reference standard, the technician, and when.
    QString referenceId;
    QDate referenceDue;
    QString technician;
    QDateTime started;
    QDateTime ended;
    // The calibration constants before, and after an adjustment (none without one).
    ChannelCalibration before{};
    std::optional<ChannelCalibration> after;

    int decimals() const { return flags & FlagDecimalsMask; }
};

// The span between the channel's two required values, low end first as the points give them.
struct Span {
    Micros low = 0;
    Micros high = 0;
};
// Nothing when a required value is missing (NoValue).
std::optional<Span> SpanOf(const ChannelCalibration& calibration, std::uint8_t flags);

// The test points at `percents` of `span`, each with its limit.
std::vector<TestPoint> MakeTestPoints(const Span& span, const std::vector<Micros>& percents,
                                      ToleranceKind kind, Micros tolerance);
// The default test points: 0, 25, 50, 75 and 100 % of the span.
std::vector<Micros> DefaultPercents();

Verdict PointVerdict(const std::optional<PointReading>& reading, Micros limit);
// Pass when every point passed, Fail when one failed, Incomplete while one is missing.
Verdict AsFoundVerdict(const CalibrationRecord& record);
// Without an adjustment, a point not read again as left is as it was found.
Verdict AsLeftVerdict(const CalibrationRecord& record);
QString VerdictText(Verdict verdict); // "pass", "fail", "incomplete"

// A new unique record id: the UTC time and eight random hex digits, "20261209T131503Z-3f9a2c1b", which
// sorts by time and is the record's file name.
QString NewRecordId(const QDateTime& at);
bool IsRecordId(const QString& text);

QByteArray RecordToJson(const CalibrationRecord& record);
// The record a JSON text holds; nothing, with `error` naming the key and the reason, when it is not a
// valid record. The verdicts written in it must be those its points give.
std::optional<CalibrationRecord> RecordFromJson(const QByteArray& json, QString* error);

} // namespace quellix
