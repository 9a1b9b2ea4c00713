#include "DownloadRequests.h"
#include "FakeHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <tuple>

namespace quellix {

namespace {

class DownloadTest : public LinkFixture, public testing::Test {};

TEST_F(DownloadTest, PromptRepliesFetchTheWholeConfiguration) {
    link.startDownload();
    AnswerPromptly(link, host);
    EXPECT_EQ(host.writtenHex(), DownloadRequests);
    EXPECT_EQ(host.count("pause 100"), 13);
    EXPECT_EQ(host.statuses,
              (std::vector<std::string>{"label8 ' Receiving ' silver", "label8 ' Complete ' green"}));
    EXPECT_EQ(host.versions, std::vector<std::string>{"Software version: 2.07"});
    EXPECT_EQ(block.Header1.text(), "a0");
    EXPECT_EQ(block.Header2.text(), "b0");
    EXPECT_EQ(block.TagName[3].text(), "c3");
    EXPECT_EQ(block.UnitName[1].text(), "d1");
    EXPECT_EQ(block.Calibration[2].Calib1, 0x3333);
    const std::uint8_t flags[] = {0x02, 0x41, 0x00, 0x01};
    EXPECT_EQ(std::memcmp(block.ChannelFlags, flags, 4), 0);
    EXPECT_EQ(host.log.back(), "redraw");
    std::vector<std::string> steps;
    for (int step = 2; step <= 14; ++step)
        steps.push_back("download " + std::to_string(step) + " requested");
    steps.push_back("download 15 complete");
    EXPECT_EQ(recorder.starting("download"), steps);
    EXPECT_EQ(recorder.downloadStep, 0);
}

TEST_F(DownloadTest, EachStepStopsItsTimerFirstAndStartsItLast) {
    link.startDownload();
    EXPECT_EQ(host.log, (std::vector<std::string>{"timer4 off", "label8 ' Receiving ' silver", "pause 100",
                                                  "write 01 76 00", "timer4 on 2000"}));
    host.clear();
    receive("01 56 00");
    EXPECT_EQ(host.log, (std::vector<std::string>{"timer4 off", "pause 100", "write 01 63 00",
                                                  "timer4 on 2000", "version Software version: "}));
}

TEST_F(DownloadTest, SilentUnitGetsThreeRequestsThenError) {
    link.startDownload();
    link.downloadTimeout();
    link.downloadTimeout();
    EXPECT_EQ(host.writtenHex(), std::vector<std::string>(3, "01 76 00"));
    host.clear();
    link.downloadTimeout();
    EXPECT_EQ(host.log, (std::vector<std::string>{"timer4 off", "label8 ' Error ' red"}));
    EXPECT_EQ(recorder.events,
              (std::vector<std::string>{"sent 01 76 00", "download 2 requested", "sent 01 76 00 resend 1",
                                        "download 2 requested", "sent 01 76 00 resend 2",
                                        "download 2 requested", "download 2 error"}));
    EXPECT_EQ(recorder.downloadStep, 0);
}

TEST_F(DownloadTest, ReplyStoredOnlyAfterTheNextRequestIsSent) {
    link.startDownload();
    AnswerPromptly(link, host);
    ConfigBlock seen{};
    host.onWrite = [&] { seen = block; };
    link.startDownload();
    for (int step = 2; step < 6; ++step)
        receive("01 54 00");
    ASSERT_EQ(recorder.downloadStep, 6);
    receive("01 50 05 00 16 4E 45 57");
    EXPECT_EQ(seen.TagName[0].text(), "c0");
    EXPECT_EQ(block.TagName[0].text(), "NEW");

    for (int step = 7; step < 14; ++step)
        receive("01 54 00");
    host.clear();
    receive("01 50 06 07 18 09 09 09 09");
    EXPECT_EQ(host.log, (std::vector<std::string>{"timer4 off", "label8 ' Complete ' green", "redraw"}));
    EXPECT_EQ(block.ChannelFlags[2], 9);
}

// Both sendings of a resent request answered: the second answer is stored but passes over no step.
TEST_F(DownloadTest, SecondAnswerToAResentRequestIsStoredButMovesNothingOn) {
    link.startDownload();
    link.downloadTimeout();
    receive("01 56 01 41");
    receive("01 56 01 42");
    EXPECT_EQ(recorder.downloadStep, 3);
    EXPECT_EQ(host.writtenHex(), (std::vector<std::string>{"01 76 00", "01 76 00", "01 63 00"}));
    EXPECT_EQ(host.versions, (std::vector<std::string>{"Software version: A", "Software version: B"}));
}

TEST_F(DownloadTest, ButtonRestartsARunningDownload) {
    link.startDownload();
    receive("01 54 00");
    receive("01 54 00");
    link.downloadTimeout();
    host.clear();
    link.startDownload();
    EXPECT_EQ(recorder.downloadStep, 2);
    // Two resends again before the error.
    link.downloadTimeout();
    link.downloadTimeout();
    EXPECT_EQ(host.writtenHex(), std::vector<std::string>(3, "01 76 00"));
    EXPECT_EQ(recorder.downloadStep, 2);
    link.downloadTimeout();
    EXPECT_EQ(host.statuses.back(), "label8 ' Error ' red");
}

TEST_F(DownloadTest, SequencesShareTheirRetries) {
    host.labels["Tag_2"] = "T2";
    link.startDownload();
    link.startUpload();
    link.uploadTimeout();
    link.uploadTimeout();
    // The upload's two resends leave the download none.
    link.downloadTimeout();
    EXPECT_EQ(host.statuses.back(), "label8 ' Error ' red");
    EXPECT_EQ(recorder.downloadStep, 0);
    receive("01 51 00");
    EXPECT_EQ(recorder.uploadStep, 2);
    host.clear();
    link.uploadTimeout();
    link.uploadTimeout();
    EXPECT_EQ(host.writtenHex(), std::vector<std::string>(2, "01 71 04 01 16 54 32"));
    link.uploadTimeout();
    EXPECT_EQ(host.statuses.back(), "label1 ' Error ' red");
}

struct ItemCase {
    const char* name;
    std::string payload;
    bool redraw;
    std::function<void(ConfigBlock&)> change;
};

const ItemCase itemCases[] = {
    {"tag of channel 3", "02 16 41 42 43", true, [](ConfigBlock& b) { b.TagName[2].assign("ABC"); }},
    {"tag cut to 20", "00 16 " + Repeat("5A", 25), true,
     [](ConfigBlock& b) { b.TagName[0].assign(std::string(20, 'Z')); }},
    {"units cut to 10", "03 17 " + Repeat("5A", 25), true,
     [](ConfigBlock& b) { b.UnitName[3].assign(std::string(10, 'Z')); }},
    {"text ends at its first zero byte", "00 15 41 00 42", true,
     [](ConfigBlock& b) { b.Header2.assign("A"); }},
    {"header index not used", "05 14 48 69", true, [](ConfigBlock& b) { b.Header1.assign("Hi"); }},
    {"empty units text", "01 17", true, [](ConfigBlock& b) { b.UnitName[1].assign(""); }},
    {"flags stored raw", "07 18 02 41 00 01", true,
     [](ConfigBlock& b) { std::memcpy(b.ChannelFlags, "\x02\x41\x00\x01", 4); }},
    {"flags index not used", "00 18 44 00 00 00", true,
     [](ConfigBlock& b) { std::memcpy(b.ChannelFlags, "\x44\x00\x00\x00", 4); }},
    {"three flag bytes", "07 18 02 41 00", true, nullptr},
    {"five flag bytes", "07 18 02 41 00 01 05", true, nullptr},
    {"tag index above 3", "04 16 41", true, nullptr},
    {"units index above 3", "FF 17 41", true, nullptr},
    {"code below 20", "00 13 41", false, nullptr},
    {"code above 24", "00 19 41", false, nullptr},
    {"index only", "00", false, nullptr},
    {"empty payload", "", false, nullptr},
};

TEST(ItemReplyTest, StoresItsItemAndRedrawsAsDesigned) {
    for (const auto& c : itemCases) {
        SCOPED_TRACE(c.name);
        LinkFixture f;
        ConfigBlock expected = f.block;
        if (c.change)
            c.change(expected);
        f.receiveFrame('P', c.payload);
        EXPECT_EQ(std::memcmp(&f.block, &expected, sizeof expected), 0);
        EXPECT_EQ(f.host.count("redraw"), c.redraw ? 1 : 0);
    }
}

TEST_F(DownloadTest, CalibrationReplyFillsTheTableOnlyWhenWhole) {
    const struct {
        const char* name;
        int payloadSize;
        bool stored;
    } cases[] = {{"32 bytes", 32, true}, {"33 bytes, the first 32 taken", 33, true}, {"31 bytes", 31, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LinkFixture f;
        f.link.startDownload();
        f.receive("01 54 00");
        f.receiveFrame('C', Repeat("FF", c.payloadSize));
        EXPECT_EQ(f.recorder.downloadStep, 4);
        EXPECT_EQ(f.block.Calibration[3].Calib2, c.stored ? -1 : 1000);
        EXPECT_EQ(f.block.Calibration[0].Measured1, c.stored ? -1 : 100);
        EXPECT_EQ(f.host.count("redraw"), c.stored ? 1 : 0);
    }
}

TEST_F(DownloadTest, VersionTextEndsAtItsFirstZeroByte) {
    receive("01 56 05 31 2E 32 00 39");
    EXPECT_EQ(host.versions, std::vector<std::string>{"Software version: 1.2"});
}

// At a step reached by prompt answers, whether one reply moves the sequence on or is late, and which
// download step's item it stored.
TEST(ReplyMatchingTest, OnlyTheAnswerToThePendingStepMovesItOn) {
    struct Heard : LinkListener {
        void LateReply(LinkSequence, std::string_view) override { ++late; }
        void ReplyStored(int step) override { stored = step; }
        int late = 0, stored = 0;
    };
    const std::tuple<int, int, const char*, bool, int, int> cases[] = {
        // download step, upload step (0: not running), reply, moves on, late, item stored
        {2, 0, "01 56 01 41", true, 0, 2},         {3, 0, "01 56 01 41", false, 1, 2},
        {6, 0, "01 50 03 00 16 41", true, 0, 6},   {6, 0, "01 50 03 01 16 41", false, 1, 7},
        {6, 0, "01 50 03 00 17 41", false, 1, 10}, {4, 0, "01 50 03 05 14 41", true, 0, 4},
        {6, 0, "01 50 03 00 13 41", false, 0, 0},  {9, 0, "01 54 00", true, 0, 0},
        {0, 0, "01 54 00", false, 1, 0},           {0, 1, "01 51 00", true, 0, 0},
        {0, 1, "01 53 00", false, 1, 0},           {0, 12, "01 42 00", true, 0, 0},
        {0, 12, "01 51 00", false, 1, 0},
    };
    for (const auto& [downloadAt, uploadAt, reply, moves, late, stores] : cases) {
        SCOPED_TRACE(reply + std::string(" at ") + std::to_string(downloadAt + uploadAt));
        LinkFixture f;
        Heard heard;
        f.link.addListener(heard);
        if (downloadAt > 0)
            f.link.startDownload();
        for (int step = 2; step < downloadAt; ++step)
            f.receive("01 54 00");
        if (uploadAt > 0)
            f.link.startUpload();
        for (int step = 1; step < uploadAt; ++step)
            f.receive(step < 12 ? "01 51 00" : "01 42 00");
        f.receive(reply);
        const int at = std::max(downloadAt, uploadAt);
        EXPECT_EQ(downloadAt > 0 ? f.recorder.downloadStep : f.recorder.uploadStep, moves ? at + 1 : at);
        EXPECT_EQ(heard.late, late);
        EXPECT_EQ(heard.stored, stores);
        f.link.removeListener(heard);
    }
}

TEST_F(DownloadTest, AdvanceReplyStoresNothing) {
    link.startDownload();
    const ConfigBlock before = block;
    receive("01 54 02 41 42");
    EXPECT_EQ(recorder.downloadStep, 3);
    EXPECT_EQ(std::memcmp(&block, &before, sizeof block), 0);
    EXPECT_EQ(host.count("redraw"), 0);
}

} // namespace

} // namespace quellix
