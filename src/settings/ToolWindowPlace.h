// Where the tool windows beside the main window (the trend, the Link Monitor) open: the first time
// beside the main window rather than over it, later where the user left them, kept in the form-state
// file.
#pragma once

#include <QByteArray>
#include <QRect>
#include <QString>

namespace quellix {

// The frame of a tool window of frame size `wanted` beside `mainFrame` on `screen` (its available
// area), top edges level: on the right where it fits, else on the left, else narrowed, down to
// `minimum`, on the side with more room; only where not even that fits does it cover the main window.
QRect PlaceBeside(const QRect& mainFrame, const QSize& wanted, const QSize& minimum, const QRect& screen);

// The geometry a tool window was left with (Qt's saved-geometry bytes) under "Geometry" in `section` of
// the form-state file; empty when none is kept.
QByteArray ReadToolGeometry(const QString& section);
// Keeps it there, the rest of the file as it was; false when the file cannot be written.
bool WriteToolGeometry(const QString& section, const QByteArray& geometry);

} // namespace quellix
