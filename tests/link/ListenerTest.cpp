#include "FakeHost.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <utility>

namespace quellix {

namespace {

class ListenerTest : public LinkFixture, public testing::Test {};

// Raw 1, 2, 3, 4; displayed -5, 6, 7 and none.
const std::string readingsHex = "01 00 02 00 03 00 04 00 FB FF 06 00 07 00 00 80";

// Runs a prompt download and upload, as the tests of both sequences do.
void RunBothSequences(DeviceLink& link, FakeHost& host) {
    link.startDownload();
    AnswerPromptly(link, host);
    link.startUpload();
    AnswerPromptly(link, host, host.writes.size() - 1);
    link.readMeasurements();
    link.receive(Batch("01 58 10 " + Repeat("05 00", 8)));
    link.stalenessTimeout();
    link.receive(Batch("01 51 00 01 51 00"));
}

TEST_F(ListenerTest, ListenersChangeNothingTheHostSees) {
    RunBothSequences(link, host);
    ASSERT_FALSE(recorder.events.empty());
    ConfigBlock quietBlock = DefaultBlock();
    FakeHost quietHost;
    DeviceLink quiet(quietBlock, quietHost);
    RunBothSequences(quiet, quietHost);
    EXPECT_EQ(quietHost.log, host.log);
    EXPECT_EQ(std::memcmp(&quietBlock, &block, sizeof block), 0);
}

TEST_F(ListenerTest, ReplyIsToldInFullBeforeTheStepItMoved) {
    link.startDownload();
    for (int step = 2; step < 14; ++step)
        receive("01 54 00");
    recorder.events.clear();
    // When a listener hears that the download is complete, the last reply's flags are in the block.
    std::string flagsAtComplete;
    struct OnStep : LinkListener {
        std::function<void()> then;
        void SequenceStep(LinkSequence, int, StepOutcome outcome) override {
            if (outcome == StepOutcome::Complete)
                then();
        }
    } onStep;
    onStep.then = [&] { flagsAtComplete = HexOf({reinterpret_cast<const char*>(block.ChannelFlags), 4}); };
    link.addListener(onStep);
    receive("01 50 06 07 18 09 08 07 06");
    EXPECT_EQ(recorder.events,
              (std::vector<std::string>{"batch 01 50 06 07 18 09 08 07 06",
                                        "frame P 01 50 06 07 18 09 08 07 06", "download 15 complete"}));
    EXPECT_EQ(flagsAtComplete, "09 08 07 06");
    link.removeListener(onStep);

    recorder.events.clear();
    link.startDownload();
    receive("01 56 01 41");
    EXPECT_EQ(recorder.events,
              (std::vector<std::string>{"sent 01 76 00", "download 2 requested", "batch 01 56 01 41",
                                        "frame V 01 56 01 41", "sent 01 63 00", "download 3 requested"}));
}

TEST_F(ListenerTest, ResendsCountPerStepWhateverTheSharedRetries) {
    link.startDownload();
    link.startUpload();
    link.downloadTimeout();
    // The upload's acknowledgement restores the shared retries: the download's step is sent a fourth time.
    receive("01 51 00");
    link.downloadTimeout();
    link.downloadTimeout();
    link.downloadTimeout();
    EXPECT_EQ(recorder.starting("sent 01 76"),
              (std::vector<std::string>{"sent 01 76 00", "sent 01 76 00 resend 1", "sent 01 76 00 resend 2",
                                        "sent 01 76 00 resend 3"}));
    EXPECT_EQ(recorder.events.back(), "download 2 error");
    // A reply starts the next step's count afresh.
    EXPECT_EQ(recorder.starting("sent 01 71 03 01"), std::vector<std::string>{"sent 01 71 03 01 16 20"});
}

TEST_F(ListenerTest, ReadingsAreToldWithTheFlagsOfTheirMoment) {
    block.ChannelFlags[0] = 2;
    receive("01 58 10 " + readingsHex);
    block.ChannelFlags[0] = FlagDisabled;
    receive("01 58 10 " + readingsHex);
    link.stalenessTimeout();
    EXPECT_EQ(recorder.starting("readings"),
              (std::vector<std::string>{"readings 1 2 3 4 / -5 6 7 -32768 flags 02 02 03 04",
                                        "readings 1 2 3 4 / -5 6 7 -32768 flags 40 02 03 04"}));
    EXPECT_EQ(recorder.events.back(), "stale");
}

// Follows the link and, at its first event, runs what the test gives it.
struct Hook : LinkListener {
    void FrameSent(std::string_view, int) override {
        ++heard;
        if (once)
            std::exchange(once, nullptr)();
    }
    int heard = 0;
    std::function<void()> once;
};

TEST_F(ListenerTest, SeveralListenersEachHearEveryEvent) {
    Hook a, b;
    link.addListener(a);
    link.addListener(b);
    link.addListener(a);
    link.readMeasurements();
    link.autoReadTick(true);
    EXPECT_EQ(a.heard, 2) << "added twice, told once";
    EXPECT_EQ(b.heard, 2);
    link.removeListener(a);
    link.removeListener(a);
    link.readMeasurements();
    EXPECT_EQ(a.heard, 2);
    EXPECT_EQ(b.heard, 3);
}

TEST_F(ListenerTest, ListenersMayComeAndGoDuringAnEvent) {
    const struct {
        const char* name;
        std::function<void(DeviceLink&, Hook& first, std::unique_ptr<Hook>& second, Hook& late)> during;
        int firstHeard, secondHeard, lateHeard; // after two sendings
    } cases[] = {
        {"first removes itself", [](DeviceLink& l, Hook& first, auto&, Hook&) { l.removeListener(first); }, 1,
         2, 0},
        // The second is destroyed too: the event must not reach it.
        {"first removes and destroys the second",
         [](DeviceLink& l, Hook&, std::unique_ptr<Hook>& second, Hook&) {
             l.removeListener(*second);
             second.reset();
         },
         2, -1, 0},
        {"first adds another, told from the next event on",
         [](DeviceLink& l, Hook&, auto&, Hook& late) { l.addListener(late); }, 2, 2, 1},
        {"first removes and adds itself again",
         [](DeviceLink& l, Hook& first, auto&, Hook&) {
             l.removeListener(first);
             l.addListener(first);
         },
         2, 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LinkFixture f;
        Hook first, late;
        auto second = std::make_unique<Hook>();
        f.link.addListener(first);
        f.link.addListener(*second);
        first.once = [&] { c.during(f.link, first, second, late); };
        f.link.readMeasurements();
        f.link.readMeasurements();
        EXPECT_EQ(first.heard, c.firstHeard);
        if (second) {
            EXPECT_EQ(second->heard, c.secondHeard);
        }
        EXPECT_EQ(late.heard, c.lateHeard);
        EXPECT_EQ(f.recorder.starting("sent").size(), 2u) << "the others are still told";
        f.link.removeListener(first);
        if (second)
            f.link.removeListener(*second);
        f.link.removeListener(late);
    }
}

} // namespace

} // namespace quellix
