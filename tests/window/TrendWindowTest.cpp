// The trend window over a history: which channels it shows, and its export of the stretch shown in the
// recorder's format.
#include "TrendWindow.h"
#include "ReadingFormat.h"
#include "TempDir.h"
#include "TrendChart.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QTableWidget>
#include <gtest/gtest.h>

namespace quellix {

namespace {

constexpr std::int64_t Start = 1796804130000;

Reading At(std::int64_t ms, std::int16_t v) {
    Reading r;
    r.msecsSinceEpoch = ms;
    r.raw = {v, v, v, v};
    r.shown = {v, static_cast<std::int16_t>(-v), v, v};
    r.flags = {1, 2, 0x40, 0};
    return r;
}

class TrendWindowTest : public testing::Test {
protected:
    TrendWindowTest() {
        SetBlockDefaults(block);
        block.ChannelFlags[2] = 0x40; // channel 3 disabled
    }
    ConfigBlock block{};
    History history;
    std::shared_ptr<UserRecord> user = std::make_shared<UserRecord>();
    RecordingDialogs dialogs{user};
};

TEST_F(TrendWindowTest, ShowsTheEnabledChannelsOfTheStretchAndExportsItsReadings) {
    // Ten readings a second apart with a stale stretch inside, then the view is the last minute.
    for (int i = 0; i < 10; ++i) {
        if (i == 5)
            history.AddStale(Start + i * 1000 - 500);
        history.Add(At(Start + i * 1000, static_cast<std::int16_t>(100 + i)));
    }
    TTrendWindow trend(history, block, dialogs);
    trend.show();
    TTrendChart* chart = trend.Chart();
    ASSERT_TRUE(chart->Following());
    auto* stats = trend.findChild<QTableWidget*>("Statistics");
    EXPECT_EQ(stats->item(0, 0)->text(), "Tag 1 (unit)");
    EXPECT_EQ(stats->item(0, 5)->text(), "10") << "the gap mark is no reading";
    EXPECT_EQ(stats->item(0, 1)->text(), "10.9");
    EXPECT_EQ(stats->item(0, 2)->text(), "10.0");
    EXPECT_EQ(stats->item(1, 3)->text(), "-1.00") << "maximum of -1.00 .. -1.09";
    EXPECT_TRUE(stats->isRowHidden(2)) << "a disabled channel is left out";
    EXPECT_FALSE(chart->ChannelDrawn(3));
    stats->item(1, 0)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(chart->ChannelDrawn(2)) << "hidden by the user";

    // A reading later than the view while paused stays out of it.
    trend.findChild<QCheckBox*>("Follow")->setChecked(false);
    history.Add(At(Start + 20000, 999));
    trend.HistoryAdded();
    EXPECT_EQ(stats->item(0, 5)->text(), "10");

    TempDir dir;
    ASSERT_TRUE(trend.Export(dir.file("span.csv")));
    QByteArray expected = CsvHeader(ChannelNames::FromBlock(block));
    for (int i = 0; i < 10; ++i)
        expected += CsvLine(At(Start + i * 1000, static_cast<std::int16_t>(100 + i)));
    EXPECT_EQ(TempDir::read(dir.file("span.csv")), expected);

    trend.findChild<QCheckBox*>("Follow")->setChecked(true);
    EXPECT_EQ(stats->item(0, 5)->text(), "11") << "following again takes in the newer reading";
}

// Longer numbers in the statistics take no room from the chart.
TEST_F(TrendWindowTest, ChartKeepsItsWidthAsTheNumbersGrow) {
    history.Add(At(Start, 1));
    TTrendWindow trend(history, block, dialogs);
    trend.show();
    QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const int width = trend.Chart()->width();
    for (int i = 1; i <= 12; ++i) {
        history.Add(At(Start + i * 1000, static_cast<std::int16_t>(-32000 - i)));
        trend.HistoryAdded();
    }
    QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_EQ(trend.findChild<QTableWidget*>("Statistics")->item(0, 5)->text(), "13");
    EXPECT_EQ(trend.Chart()->width(), width);
}

} // namespace

} // namespace quellix
