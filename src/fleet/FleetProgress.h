// What a fleet command shows while it runs: one line per unit with its name, its port, the step of its
// sequence ("5/13", "18/26" for a write with its check) and, once it ends, its result. On a terminal
// every unit's line is there from the start and is rewritten in place as the unit moves on; elsewhere
// (a log, a pipe) a unit's line is printed once, when it ends. This makes the text; the caller writes it.
#pragma once

#include "FleetReport.h"

#include <QString>
#include <vector>

namespace quellix {

class FleetProgress {
public:
    struct Unit {
        QString name;
        QString port;
    };

    // `live`: on a terminal `width` columns wide whose rows hold every line; a line that wraps or that
    // has scrolled off the screen cannot be rewritten in place, so the caller passes false then.
    FleetProgress(const std::vector<Unit>& units, bool live, int width = 80);

    // What to write before the first unit starts: on a terminal each unit's line, "waiting".
    QString begin() const;
    // Unit `unit` is at step `step` of `steps`. What to write: on a terminal its line rewritten.
    QString step(std::size_t unit, int step, int steps);
    // Unit `unit` ended with `outcome`; `detail` says more ("3 fields", the port's problem). What to
    // write: on a terminal its line rewritten, elsewhere the line.
    QString finish(std::size_t unit, UnitOutcome outcome, const QString& detail = {});

    // The unit's line as it stands, without terminal codes: "press-2  COM2  5/13".
    QString line(std::size_t unit) const;

private:
    struct State {
        QString name;
        QString port;
        int step = 0;
        int steps = 0;
        QString result; // empty while it runs
    };

    QString rewrite(std::size_t unit) const;

    std::vector<State> units_;
    bool live_;
    int width_;
    qsizetype nameWidth_ = 0;
    qsizetype portWidth_ = 0;
};

} // namespace quellix
