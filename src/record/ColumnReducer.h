// Readings reduced to columns of equal time, one per pixel column of a trend: per series the minimum,
// maximum, first, last, sum and count of the readings that fall in the column. Drawing a column's
// minimum to maximum keeps a one-reading spike visible however many readings share its column. The
// columns are kept up to date reading by reading, so a redraw never goes through the readings again.
#pragma once

#include "Reading.h"

#include <array>
#include <cstdint>
#include <deque>

namespace quellix {

// Series 0 to 3 are the displayed values of channels 1 to 4 in their units (value x 10^-decimals),
// series 4 to 7 their raw values.
inline constexpr int RawSeries = ChannelCount; // the first raw series
inline constexpr int ReducedSeries = 2 * ChannelCount;

struct SeriesColumn {
    float min = 0;
    float max = 0;
    float first = 0;
    float last = 0;
    double sum = 0;
    std::uint32_t count = 0;
    // The series' reading before this column's first was a value too (no gap between them).
    bool joinsPrevious = false;
};

struct Column {
    std::int64_t index = 0; // start time / column length
    std::array<SeriesColumn, ReducedSeries> series;
};

// Last, minimum, maximum and mean of a series over some columns; count 0 when it has no value there.
struct SeriesStats {
    std::uint64_t count = 0;
    double last = 0;
    double min = 0;
    double max = 0;
    double mean = 0;
};

class ColumnReducer {
public:
    // Drops every column; columns from now on are `columnMs` long, aligned to multiples of it.
    void Reset(std::int64_t columnMs);
    // Adds a reading (a gap mark breaks every series). Readings come in time order; one older than the
    // last column goes into the last column.
    void Add(const Reading& reading);
    // Drops the columns that end at or before `msecsSinceEpoch`.
    void DropBefore(std::int64_t msecsSinceEpoch);

    std::int64_t ColumnMs() const { return columnMs_; }
    std::int64_t ColumnStart(const Column& column) const { return column.index * columnMs_; }
    // Only columns that hold at least one reading, oldest first.
    const std::deque<Column>& Columns() const { return columns_; }
    // Over the columns that start in [from, to).
    SeriesStats Stats(int series, std::int64_t from, std::int64_t to) const;

    // The value a reading gives a series, or false for a gap (NoValue, a disabled channel's displayed
    // value, a gap mark).
    static bool SeriesValue(const Reading& reading, int series, float& value);

private:
    std::int64_t columnMs_ = 1000;
    std::deque<Column> columns_;
    std::array<bool, ReducedSeries> lastWasValue_{};
};

} // namespace quellix
