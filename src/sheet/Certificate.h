// The calibration certificate: one or two A4 pages made from a calibration record, in the configuration
// sheet's look and through its PDF code: the unit, channel, procedure, reference standard and
// technician, each test point as found and as left, the calibration constants before and after, and the
// verdicts.
#pragma once

#include "CalibRecord.h"

#include <QString>

namespace quellix {

inline constexpr char CertificateTitle[] = "Calibration Certificate";

QString CertificateHtml(const CalibrationRecord& record);

// Writes the certificate as PDF; the file is replaced only once it is complete. False with the reason.
bool WriteCertificatePdf(const CalibrationRecord& record, const QString& path, QString* error);

} // namespace quellix
