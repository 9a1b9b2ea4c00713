#include "FleetProgress.h"

#include "ConfigJson.h"

#include <algorithm>

namespace quellix {

namespace {

// Long names and ports keep the columns of the others from moving far to the right.
constexpr qsizetype MaxNameWidth = 24;
constexpr qsizetype MaxPortWidth = 32;

} // namespace

FleetProgress::FleetProgress(const std::vector<Unit>& units, bool live, int width)
    : live_(live), width_(std::max(width, 20)) {
    for (const Unit& u : units) {
        // Names and ports come from a file: nothing in them may act on the terminal.
        units_.push_back({EscapedControls(u.name), EscapedControls(u.port), 0, 0, {}});
        nameWidth_ = std::min(std::max(nameWidth_, units_.back().name.size()), MaxNameWidth);
        portWidth_ = std::min(std::max(portWidth_, units_.back().port.size()), MaxPortWidth);
    }
}

QString FleetProgress::line(std::size_t unit) const {
    const State& s = units_[unit];
    const QString step = s.steps > 0 ? QStringLiteral("%1/%2").arg(s.step).arg(s.steps) : QString();
    const QString state = !s.result.isEmpty() ? s.result
                          : s.steps > 0       ? QString()
                                              : QStringLiteral("waiting");
    QString text = s.name.leftJustified(nameWidth_) + QStringLiteral("  ") +
                   s.port.leftJustified(portWidth_) + QStringLiteral("  ") + step.rightJustified(5);
    if (!state.isEmpty())
        text += QStringLiteral("  ") + state;
    return text;
}

QString FleetProgress::begin() const {
    QString text;
    if (live_)
        for (std::size_t i = 0; i < units_.size(); ++i)
            text += line(i).left(width_ - 1) + u'\n';
    return text;
}

QString FleetProgress::step(std::size_t unit, int step, int steps) {
    units_[unit].step = step;
    units_[unit].steps = steps;
    return live_ ? rewrite(unit) : QString();
}

QString FleetProgress::finish(std::size_t unit, UnitOutcome outcome, const QString& detail) {
    units_[unit].result = OutcomeText(outcome) +
                          (detail.isEmpty() ? QString() : QStringLiteral(": ") + EscapedControls(detail));
    return live_ ? rewrite(unit) : line(unit) + u'\n';
}

// The cursor waits below the last line: up to the unit's line, rewrite it whole, and back down. A line
// is cut short of the last column, where a terminal would wrap it.
QString FleetProgress::rewrite(std::size_t unit) const {
    const qsizetype up = qsizetype(units_.size() - unit);
    return QStringLiteral("\x1b[%1A\r").arg(up) + line(unit).left(width_ - 1) +
           QStringLiteral("\x1b[K\x1b[%1B\r").arg(up);
}

} // namespace quellix
