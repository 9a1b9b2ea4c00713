#include "FakeHost.h"

#include <gtest/gtest.h>

#include <cstring>

namespace quellix {

namespace {

class UploadTest : public LinkFixture, public testing::Test {
protected:
    UploadTest() {
        for (int n = 1; n <= 4; ++n) {
            host.labels["Tag_" + std::to_string(n)] = "T" + std::to_string(n);
            host.labels["Units_" + std::to_string(n)] = "U" + std::to_string(n);
        }
        host.labels["Header_1"] = "H1";
        host.labels["Header_2"] = "\xC4";
        std::memcpy(block.ChannelFlags, "\x00\x41\x02\x00", 4);
        block.Calibration[1].Calib1 = -2;
    }
};

TEST_F(UploadTest, PromptAcknowledgementsSendTheWholeConfiguration) {
    const ConfigBlock before = block;
    link.startUpload();
    AnswerPromptly(link, host);
    const std::string defaults = "64 00 64 00 E8 03 E8 03";
    EXPECT_EQ(host.writtenHex(),
              (std::vector<std::string>{
                  "01 71 04 00 16 54 31",
                  "01 71 04 01 16 54 32",
                  "01 71 04 02 16 54 33",
                  "01 71 04 03 16 54 34",
                  "01 71 04 00 17 55 31",
                  "01 71 04 01 17 55 32",
                  "01 71 04 02 17 55 33",
                  "01 71 04 03 17 55 34",
                  "01 71 04 00 14 48 31",
                  "01 71 03 00 15 C4",
                  "01 71 06 07 18 00 41 02 00",
                  "01 62 20 " + defaults + " 64 00 FE FF E8 03 E8 03 " + defaults + " " + defaults,
                  "01 73 00",
              }));
    EXPECT_EQ(host.count("pause 100"), 13);
    EXPECT_EQ(host.statuses,
              (std::vector<std::string>{"label1 ' Sending ' silver", "label1 ' Complete ' green"}));
    std::vector<std::string> steps;
    for (int step = 1; step <= 13; ++step)
        steps.push_back("upload " + std::to_string(step) + " requested");
    steps.push_back("upload 14 complete");
    EXPECT_EQ(recorder.starting("upload"), steps);
    EXPECT_EQ(recorder.uploadStep, 0);
    EXPECT_EQ(std::memcmp(&block, &before, sizeof block), 0);
}

TEST_F(UploadTest, EachStepStopsItsTimerFirstAndStartsItLast) {
    link.startUpload();
    EXPECT_EQ(host.log,
              (std::vector<std::string>{"timer1 off", "label1 ' Sending ' silver", "read Tag_1", "pause 100",
                                        "write 01 71 04 00 16 54 31", "timer1 on 2000"}));
}

TEST_F(UploadTest, TagTextsAsTheItemWriteCarriesThem) {
    const struct {
        const char* name;
        std::string tag;
        std::string frame;
    } cases[] = {
        {"empty tag as one blank", "", "01 71 03 00 16 20"},
        {"20 characters fill the frame", std::string(20, 'W'), "01 71 16 00 16 " + Repeat("57", 20)},
        {"longer text cut to 20", std::string(23, 'W'), "01 71 16 00 16 " + Repeat("57", 20)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host.clear();
        host.labels["Tag_1"] = c.tag;
        link.startUpload();
        EXPECT_EQ(host.writtenHex(), std::vector<std::string>{c.frame});
    }
}

TEST_F(UploadTest, ResendReadsTheLabelAgain) {
    link.startUpload();
    host.labels["Tag_1"] = "Edited";
    link.uploadTimeout();
    EXPECT_EQ(host.writtenHex(),
              (std::vector<std::string>{"01 71 04 00 16 54 31", "01 71 08 00 16 45 64 69 74 65 64"}));
}

TEST_F(UploadTest, SilentUnitGetsThreeRequestsThenError) {
    link.startUpload();
    link.uploadTimeout();
    link.uploadTimeout();
    EXPECT_EQ(host.writtenHex(), std::vector<std::string>(3, "01 71 04 00 16 54 31"));
    host.clear();
    link.uploadTimeout();
    EXPECT_EQ(host.log, (std::vector<std::string>{"timer1 off", "label1 ' Error ' red"}));
    EXPECT_EQ(recorder.starting("sent"),
              (std::vector<std::string>{"sent 01 71 04 00 16 54 31", "sent 01 71 04 00 16 54 31 resend 1",
                                        "sent 01 71 04 00 16 54 31 resend 2"}));
    EXPECT_EQ(recorder.events.back(), "upload 1 error");
    EXPECT_EQ(recorder.uploadStep, 0);
}

// Only the acknowledgement of the write pending moves the upload on.
TEST_F(UploadTest, AcknowledgementOfAnotherWriteMovesNothingOn) {
    link.startUpload();
    link.uploadTimeout();
    receive("01 51 00");
    receive("01 42 00");
    EXPECT_EQ(recorder.uploadStep, 2);
    EXPECT_EQ(host.writtenHex().back(), "01 71 04 01 16 54 32");
}

TEST_F(UploadTest, ButtonRestartsARunningUpload) {
    link.startUpload();
    for (int step = 1; step < 12; ++step)
        receive("01 51 00");
    ASSERT_EQ(HexOf(host.writes.back()).substr(0, 8), "01 62 20");
    link.uploadTimeout();
    host.clear();
    link.startUpload();
    EXPECT_EQ(recorder.uploadStep, 1);
    // Two resends again before the error.
    link.uploadTimeout();
    link.uploadTimeout();
    EXPECT_EQ(host.writtenHex(), std::vector<std::string>(3, "01 71 04 00 16 54 31"));
    link.uploadTimeout();
    EXPECT_EQ(host.statuses.back(), "label1 ' Error ' red");
}

} // namespace

TEST_F(UploadTest, AbortEndsRunningSequencesAsAfterTheirRetries) {
    link.startDownload();
    link.startUpload();
    host.clear();
    link.abortSequences();
    EXPECT_EQ(host.log, (std::vector<std::string>{"timer4 off", "label8 ' Error ' red", "timer1 off",
                                                  "label1 ' Error ' red"}));
    EXPECT_EQ(recorder.starting("download 2"),
              (std::vector<std::string>{"download 2 requested", "download 2 aborted"}));
    EXPECT_EQ(recorder.events.back(), "upload 1 aborted");
    EXPECT_EQ(recorder.downloadStep, 0);
    EXPECT_EQ(recorder.uploadStep, 0);
    host.clear();
    recorder.events.clear();
    link.abortSequences();
    EXPECT_TRUE(host.log.empty()) << "nothing runs, nothing to end";
    EXPECT_TRUE(recorder.events.empty());
}

} // namespace quellix
