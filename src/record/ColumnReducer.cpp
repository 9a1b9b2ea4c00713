#include "ColumnReducer.h"

#include <algorithm>

namespace quellix {

namespace {
constexpr float Scale[] = {1.0F, 10.0F, 100.0F, 1000.0F};

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}
} // namespace

bool ColumnReducer::SeriesValue(const Reading& reading, int series, float& value) {
    if (series >= RawSeries) {
        const std::int16_t raw = reading.raw[static_cast<std::size_t>(series - RawSeries)];
        if (raw == NoValue)
            return false;
        value = raw;
        return true;
    }
    const auto i = static_cast<std::size_t>(series);
    const std::uint8_t flags = reading.flags[i];
    if (reading.shown[i] == NoValue || (flags & FlagDisabled))
        return false;
    value = static_cast<float>(reading.shown[i]) / Scale[flags & FlagDecimalsMask];
    return true;
}

void ColumnReducer::Reset(std::int64_t columnMs) {
    columnMs_ = std::max<std::int64_t>(1, columnMs);
    columns_.clear();
    lastWasValue_.fill(false);
}

void ColumnReducer::Add(const Reading& reading) {
    const std::int64_t index = FloorDiv(reading.msecsSinceEpoch, columnMs_);
    if (columns_.empty() || index > columns_.back().index) {
        columns_.emplace_back();
        columns_.back().index = index;
    }
    Column& column = columns_.back();
    for (int s = 0; s < ReducedSeries; ++s) {
        const auto si = static_cast<std::size_t>(s);
        float v = 0;
        if (!SeriesValue(reading, s, v)) {
            lastWasValue_[si] = false;
            continue;
        }
        SeriesColumn& c = column.series[si];
        if (c.count == 0) {
            c.min = c.max = c.first = v;
            c.joinsPrevious = lastWasValue_[si];
        } else {
            c.min = std::min(c.min, v);
            c.max = std::max(c.max, v);
        }
        c.last = v;
        c.sum += v;
        ++c.count;
        lastWasValue_[si] = true;
    }
}

void ColumnReducer::DropBefore(std::int64_t msecsSinceEpoch) {
    while (!columns_.empty() && ColumnStart(columns_.front()) + columnMs_ <= msecsSinceEpoch)
        columns_.pop_front();
}

SeriesStats ColumnReducer::Stats(int series, std::int64_t from, std::int64_t to) const {
    SeriesStats stats;
    double sum = 0;
    const auto si = static_cast<std::size_t>(series);
    for (const Column& column : columns_) {
        const std::int64_t start = ColumnStart(column);
        const SeriesColumn& c = column.series[si];
        if (start < from || start >= to || c.count == 0)
            continue;
        if (stats.count == 0) {
            stats.min = c.min;
            stats.max = c.max;
        } else {
            stats.min = std::min<double>(stats.min, c.min);
            stats.max = std::max<double>(stats.max, c.max);
        }
        stats.count += c.count;
        sum += c.sum;
        stats.last = c.last;
    }
    if (stats.count > 0)
        stats.mean = sum / static_cast<double>(stats.count);
    return stats;
}

} // namespace quellix
