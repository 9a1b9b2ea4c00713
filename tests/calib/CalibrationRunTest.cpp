// The wizard's logic without a window: its set-up refusals, and points and raw captures taken only
// from stable readings.
#include "CalibrationRun.h"

#include <gtest/gtest.h>

namespace quellix {

namespace {

CalibrationSetup FlowSetup() {
    CalibrationSetup s;
    s.flags = 0x01;                // one decimal
    s.before = {0, 0, 1000, 1000}; // 0.0 to 100.0
    s.percents = {0, 100 * MicrosPerUnit};
    s.stability = {2, 0, 500, 2500}; // the last two readings equal, after half a second
    return s;
}

} // namespace

TEST(CalibrationRun, SetUpRefusesWhatCannotBeCalibrated) {
    const struct {
        const char* percents;
        std::uint8_t flags;
        std::int16_t calib2;
        const char* error; // empty: it starts
    } cases[] = {
        {"0, 25, 50, 75, 100", 0x01, 1000, ""},
        {"12.5", 0x01, 1000, ""},
        {"", 0x01, 1000, "no test points given"},
        {"0, 101", 0x01, 1000, "\"101\" is no per cent from 0 to 100"},
        {"0, half", 0x01, 1000, "\"half\" is no per cent from 0 to 100"},
        {"0", 0x41, 1000, "channel 1 is disabled: it shows no value to calibrate"},
        {"0", 0x01, NoValue, "channel 1 has no span: a required value is missing"},
    };
    for (const auto& c : cases) {
        QString error;
        CalibrationSetup setup = FlowSetup();
        setup.flags = c.flags;
        setup.before.Calib2 = c.calib2;
        const auto percents = ParsePercents(QString::fromLatin1(c.percents), &error);
        std::optional<CalibrationRun> run;
        if (percents) {
            setup.percents = *percents;
            run = CalibrationRun::Start(setup, QDateTime::currentDateTime(), &error);
        }
        EXPECT_EQ(error, QString::fromLatin1(c.error)) << c.percents;
        EXPECT_EQ(run.has_value(), *c.error == 0) << c.percents;
    }
}

TEST(CalibrationRun, TakesPointsAndRawCapturesOnlyWhenStable) {
    QString error;
    std::optional<CalibrationRun> run =
        CalibrationRun::Start(FlowSetup(), QDateTime::currentDateTime(), &error);
    ASSERT_TRUE(run) << error.toStdString();
    EXPECT_TRUE(IsRecordId(run->Record().id)); // known before the adjustment's audit line
    EXPECT_FALSE(run->TakeDisplayed(5, 0));    // nothing applied yet

    run->Apply(0, 1000);
    // In settling, then unsteady, then a missing reading starts afresh, then two equal ones.
    const std::int16_t readings[] = {3, 3, 4, NoValue, 4, 4};
    bool taken = false;
    for (std::size_t i = 0; i < std::size(readings) && !taken; ++i)
        taken = run->TakeDisplayed(readings[i], 1000 + 400 * std::int64_t(i));
    ASSERT_TRUE(taken);
    EXPECT_EQ(run->PointIndex(), 1u);
    EXPECT_EQ(run->Record().points[0].asFound->shown, 400'000); // 0.4
    EXPECT_EQ(PointVerdict(run->Record().points[0].asFound, run->Record().points[0].limit), Verdict::Pass);

    run->BeginCapture(2, 5000);
    EXPECT_FALSE(run->TakeRaw(1010, 5600));
    EXPECT_FALSE(run->TakeRaw(1011, 6600));
    EXPECT_TRUE(run->TakeRaw(1011, 7600));
    EXPECT_EQ(run->CapturedRaw(2), std::int16_t(1011));
    EXPECT_EQ(run->CapturedRaw(1), std::nullopt);
}

} // namespace quellix
