// Field-by-field comparison of two configurations, shared by the command line's diff, the check after
// a write to the unit, and the window's comparison.
#pragma once

#include "ConfigBlock.h"

#include <QString>
#include <vector>

namespace quellix {

enum class CompareScope {
    // What the window shows: headers, and per channel tag, units, decimals, disabled, the flags byte's
    // other bits, and the calibration points.
    Shown,
    // Also what it never shows: reserved fields, last readings, the bytes after each text, and a length
    // byte above its field's capacity. Two blocks differ here exactly when their images differ.
    Everything,
    // What the unit keeps (texts, flags, calibration), where an empty text matches a single blank: the
    // unit cannot take an empty text, and the window sends it as one blank.
    UnitHeld,
};

struct FieldDifference {
    QString field; // key path as in the text form: "header1", "channel2.point1.value", "hidden.reserved"
    QString first; // the value as the window shows it, without the label's alignment
    QString second;
    bool text = false; // a text of the block: worth quoting when printed, so that blanks show
};

// Differences in the order of the text form. A required value is shown in its channel's decimals even
// when the channel is disabled (where the window shows blanks), so that a difference can be seen; a
// value differs when its number or its decimals do, and "---" stands for NoValue. The flags byte
// appears as "flags" only when bits other than decimals and disabled differ.
std::vector<FieldDifference> CompareConfigs(const ConfigBlock& first, const ConfigBlock& second,
                                            CompareScope scope);

// Takes one field the Shown comparison names from `from` into `to`: a text whole with the bytes after
// it, the decimals or the disabled mark alone, the flags byte's other bits, or one calibration number.
// The field then no longer differs, but for a required value whose channel's decimals still differ:
// its stored number is taken as it is, not scaled. False, and `to` unchanged, for a name it does not
// know.
bool CopyComparedField(const QString& field, const ConfigBlock& from, ConfigBlock& to);

} // namespace quellix
