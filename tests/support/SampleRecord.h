// A calibration record as a wizard would make it: Boiler Flow, 0.0 to 120.0 m3/h, five points within
// 0.5 % of the span (0.6 m3/h), found out of tolerance at the top two, adjusted, and left within it. Shared
// by the tests and the certificate's benchmark.
#pragma once

#include "CalibRecord.h"

#include <QTimeZone>

namespace quellix {

inline CalibrationRecord SampleRecord() {
    CalibrationRecord r;
    r.id = QStringLiteral("20261209T131503Z-3f9a2c1b");
    r.unitVersion = QStringLiteral("QX-4 V2.10");
    r.port = QStringLiteral("COM1");
    r.device = QStringLiteral("/dev/ttyUSB0");
    r.channel = 1;
    r.tag = QStringLiteral("Boiler Flow");
    r.units = QStringLiteral("m3/h");
    r.flags = 0x01;
    r.before = {0, 0, 1023, 1200};
    r.after = ChannelCalibration{10, 0, 1013, 1200};
    r.toleranceKind = ToleranceKind::PercentOfSpan;
    r.tolerance = MicrosPerUnit / 2;
    r.points = MakeTestPoints(*SpanOf(r.before, r.flags), DefaultPercents(), r.toleranceKind, r.tolerance);
    // In tenths, the channel's one decimal.
    const Micros foundTenths[] = {2, 303, 605, 908, 1210};
    const Micros leftTenths[] = {1, 301, 600, 899, 1202};
    for (std::size_t i = 0; i < r.points.size(); ++i) {
        const Micros applied = r.points[i].nominal;
        r.points[i].asFound = PointReading{applied, foundTenths[i] * MicrosPerUnit / 10};
        r.points[i].asLeft = PointReading{applied, leftTenths[i] * MicrosPerUnit / 10};
    }
    r.referenceId = QStringLiteral("Fluke 726 #4471");
    r.referenceDue = QDate(2027, 3, 1);
    r.technician = QStringLiteral("ops");
    const QTimeZone zone(3600);
    r.started = QDateTime(QDate(2026, 12, 9), QTime(14, 15, 3), zone);
    r.ended = QDateTime(QDate(2026, 12, 9), QTime(14, 41, 27), zone);
    return r;
}

} // namespace quellix
