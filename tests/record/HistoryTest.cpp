// The day of readings in memory and its reduction to pixel columns.
#include "History.h"
#include "ColumnReducer.h"

#include <gtest/gtest.h>

namespace quellix {

namespace {

constexpr std::int64_t Second = 1000;
constexpr std::int64_t Start = 1796804130000;

Reading At(std::int64_t ms, std::int16_t shown, std::int16_t raw = 500) {
    Reading r;
    r.msecsSinceEpoch = ms;
    r.raw = {raw, raw, raw, raw};
    r.shown = {shown, shown, shown, shown};
    r.flags = {0, 1, 2, 0x40};
    return r;
}

TEST(History, DropsReadingsOlderThanADay) {
    History history;
    const std::int64_t day = History::KeepMs;
    for (const std::int64_t t : {Start, Start + Second, Start + day / 2, Start + day, Start + day + Second})
        history.Add(At(t, 1));
    // The last one is a day and a second after the first: only the first is older than a day before it.
    ASSERT_EQ(history.Size(), 4u);
    EXPECT_EQ(history.TimeAt(0), Start + Second);
    history.Add(At(Start + 3 * day, 2));
    ASSERT_EQ(history.Size(), 1u);
    EXPECT_EQ(history.At(0).shown[0], 2);
}

TEST(History, StaysInOrderWhenTheClockGoesBackAndMarksEachStaleStretchOnce) {
    History history;
    history.AddStale(Start); // nothing to mark before the first reading
    EXPECT_TRUE(history.Empty());
    history.Add(At(Start + 10 * Second, 1));
    history.Add(At(Start + 5 * Second, 2)); // clock set back
    EXPECT_EQ(history.TimeAt(1), Start + 10 * Second);
    history.AddStale(Start + 15 * Second);
    history.AddStale(Start + 20 * Second); // still stale: no second mark
    ASSERT_EQ(history.Size(), 3u);
    EXPECT_TRUE(history.IsGap(2));
    EXPECT_FALSE(history.IsGap(1));
    EXPECT_EQ(history.LowerBound(Start + 11 * Second), 2u);
}

// A day at one reading a second in 800 columns: the one reading far off the rest still shows as its
// column's maximum and minimum, and the count and mean over the whole span stay exact.
TEST(ColumnReducer, KeepsASingleSpikeInADay) {
    const std::int64_t columns = 800;
    const std::int64_t columnMs = History::KeepMs / columns;
    ColumnReducer reducer;
    reducer.Reset(columnMs);
    const std::int64_t spikeAt = Start + 43210 * Second;
    const std::int64_t dipAt = Start + 60000 * Second;
    for (std::int64_t i = 0; i < 86400; ++i) {
        const std::int64_t t = Start + i * Second;
        reducer.Add(At(t, t == spikeAt ? 30000 : t == dipAt ? -30000 : 100));
    }
    ASSERT_LE(reducer.Columns().size(), static_cast<std::size_t>(columns + 1));
    int spikes = 0;
    int dips = 0;
    for (const Column& column : reducer.Columns()) {
        const SeriesColumn& c = column.series[0];
        const bool holdsSpike =
            reducer.ColumnStart(column) <= spikeAt && spikeAt < reducer.ColumnStart(column) + columnMs;
        const bool holdsDip =
            reducer.ColumnStart(column) <= dipAt && dipAt < reducer.ColumnStart(column) + columnMs;
        EXPECT_EQ(c.max, holdsSpike ? 30000.0F : 100.0F);
        EXPECT_EQ(c.min, holdsDip ? -30000.0F : 100.0F);
        spikes += c.max == 30000.0F;
        dips += c.min == -30000.0F;
    }
    EXPECT_EQ(spikes, 1);
    EXPECT_EQ(dips, 1);
    // Columns are aligned to multiples of their length: the first starts before the first reading.
    const SeriesStats s = reducer.Stats(0, Start - columnMs, Start + History::KeepMs);
    EXPECT_EQ(s.count, 86400u);
    EXPECT_DOUBLE_EQ(s.max, 30000);
    EXPECT_DOUBLE_EQ(s.min, -30000);
    EXPECT_DOUBLE_EQ(s.mean, 100.0 - 200.0 / 86400);
}

TEST(ColumnReducer, GapsBreakTheLineAndScaleByEachReadingsDecimals) {
    ColumnReducer reducer;
    reducer.Reset(Second);
    reducer.Add(At(Start, 1234, 7));
    reducer.Add(At(Start + Second, NoValue, NoValue));
    Reading stale;
    stale.msecsSinceEpoch = Start + 2 * Second;
    stale.raw.fill(NoValue);
    stale.shown.fill(NoValue);
    stale.flags.fill(0xFF);
    reducer.Add(stale);
    reducer.Add(At(Start + 3 * Second, 1000, 8));
    reducer.Add(At(Start + 4 * Second, 1001, 9));
    const auto& columns = reducer.Columns();
    ASSERT_EQ(columns.size(), 5u);
    EXPECT_FLOAT_EQ(columns[0].series[1].first, 123.4F);           // 1 decimal
    EXPECT_FLOAT_EQ(columns[0].series[2].first, 12.34F);           // 2 decimals
    EXPECT_EQ(columns[0].series[3].count, 0u);                     // disabled: no displayed value
    EXPECT_FLOAT_EQ(columns[0].series[RawSeries + 3].first, 7.0F); // its raw value still counts
    EXPECT_EQ(columns[1].series[0].count, 0u);
    EXPECT_FALSE(columns[3].series[0].joinsPrevious) << "a gap lies before it";
    EXPECT_TRUE(columns[4].series[0].joinsPrevious);
    reducer.DropBefore(Start + 3 * Second);
    EXPECT_EQ(reducer.Columns().size(), 2u);
}

} // namespace

} // namespace quellix
