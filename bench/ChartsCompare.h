// The trend's columns drawn by Qt Charts instead, for comparison: nothing when the benchmarks were
// built without Qt Charts.
#pragma once

#include "ColumnReducer.h"

#include <QSize>
#include <optional>
#include <vector>

namespace quellix {

// Paint times (ms) of a QChartView with one QLineSeries per displayed-value series holding the same
// column points (first, minimum, maximum, last of each column) at `size`.
std::optional<std::vector<double>> ChartsRedrawMs(const ColumnReducer& columns, QSize size);

} // namespace quellix
