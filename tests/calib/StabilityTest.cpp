// Stability detection on recorded sequences of readings, one a second as the link takes them: the phase
// after each reading, as a wizard would show it.
#include "Stability.h"
#include "ConfigBlock.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quellix {

namespace {

constexpr int Gone = NoValue; // a missing reading: the link's readings went stale

struct Sample {
    std::int64_t ms;
    int value;
};

// One reading a second from `startMs`.
std::vector<Sample> EverySecond(std::vector<int> values, std::int64_t startMs = 0) {
    std::vector<Sample> samples;
    for (std::size_t i = 0; i < values.size(); ++i)
        samples.push_back({startMs + 1000 * std::int64_t(i), values[i]});
    return samples;
}

std::vector<Sample> operator+(std::vector<Sample> a, const std::vector<Sample>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// S settling, C collecting, U unsteady, T stable, X stale, D disabled.
char Letter(StabilityPhase phase) {
    return "SCUTXD"[static_cast<int>(phase)];
}

} // namespace

TEST(Stability, PhasesOfRecordedSequences) {
    // Five readings within 2 steps, all taken 3 s or more after the input was changed at 0.
    const StabilitySettings settings{5, 2, 3000, 2500};
    struct Case {
        const char* what;
        std::vector<Sample> readings;
        std::string phases;
        bool disabled = false;
    };
    const Case cases[] = {
        {"steady: the fifth reading after settling", EverySecond({500, 500, 500, 500, 500, 500, 500, 500}),
         "SSSCCCCT"},
        {"noise within the limit", EverySecond({500, 502, 501, 500, 502, 501, 500, 502, 501}), "SSSCCCCTT"},
        {"noise beyond the limit never settles", EverySecond({500, 503, 500, 503, 500, 503, 500, 503, 500}),
         "SSSCCCCUU"},
        {"a ramp settles once five readings stand still",
         EverySecond({300, 320, 340, 360, 380, 400, 400, 400, 400, 400}), "SSSCCCCUUT"},
        {"a step starts the wait again",
         EverySecond({500, 500, 500, 500, 500, 500, 500, 500, 700, 700, 700, 700, 700}), "SSSCCCCTUUUUT"},
        {"a stale reading in between starts the window afresh",
         EverySecond({500, 500, 500, 500, 500, 500, Gone, 500, 500, 500, 500, 500}), "SSSCCCXCCCCT"},
        {"a gap longer than 2.5 s starts the window afresh",
         EverySecond({500, 500, 500, 500, 500, 500}) + EverySecond({500, 500, 500, 500, 500}, 9000),
         "SSSCCCCCCCT"},
        {"a disabled channel never settles", EverySecond({500, 500, 500, 500, 500, 500, 500, 500}),
         "DDDDDDDD", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StabilityDetector detector(settings);
        detector.Restart(0);
        detector.SetDisabled(c.disabled);
        std::string phases;
        for (const Sample& s : c.readings)
            phases += Letter(detector.Add(static_cast<std::int16_t>(s.value), s.ms).phase);
        EXPECT_EQ(phases, c.phases);
    }
}

TEST(Stability, StateAWizardShows) {
    StabilityDetector detector({4, 3, 2000, 2500});
    detector.Restart(10000);
    EXPECT_EQ(detector.At(10500).settlingLeftMs, 1500);
    EXPECT_EQ(detector.At(10500).spread, -1) << "no reading yet";
    for (const auto& [ms, value] : std::vector<Sample>{{10600, 100}, {11600, 104}, {12600, 101}}) {
        detector.Add(static_cast<std::int16_t>(value), ms);
    }
    StabilityState state = detector.At(12700);
    EXPECT_EQ(state.phase, StabilityPhase::Collecting);
    EXPECT_EQ(state.spread, 4) << "the live spread counts the settling time's readings";
    EXPECT_EQ(state.counted, 1);
    EXPECT_EQ(state.needed, 4);
    EXPECT_EQ(detector.At(15200).phase, StabilityPhase::Stale) << "the next reading is overdue";

    for (const auto& [ms, value] : std::vector<Sample>{{13600, 102}, {14600, 103}, {15600, 102}})
        state = detector.Add(static_cast<std::int16_t>(value), ms);
    EXPECT_TRUE(state.stable());
    EXPECT_EQ(state.spread, 2);
    EXPECT_DOUBLE_EQ(state.mean, (101 + 102 + 103 + 102) / 4.0);
    EXPECT_EQ(state.last, 102);
}

} // namespace quellix
