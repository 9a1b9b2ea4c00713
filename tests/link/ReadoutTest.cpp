#include "FakeHost.h"

#include <gtest/gtest.h>

namespace quellix {

namespace {

class ReadoutTest : public LinkFixture, public testing::Test {};

TEST_F(ReadoutTest, MeasurementReplyStoresAllEightValues) {
    const struct {
        const char* name;
        std::string payload;
    } cases[] = {
        {"sixteen bytes", "10 00 20 00 30 00 40 00 FF FF FE FF 00 80 01 00"},
        {"bytes beyond sixteen unread", "10 00 20 00 30 00 40 00 FF FF FE FF 00 80 01 00 99 99"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetBlockDefaults(block);
        block.ChannelFlags[2] = FlagDisabled | 2;
        host.clear();
        recorder.events.clear();
        receiveFrame('X', c.payload);
        const std::int16_t raw[4] = {16, 32, 48, 64}, measured[4] = {-1, -2, NoValue, 1};
        EXPECT_TRUE(std::equal(raw, raw + 4, block.RawValue));
        EXPECT_TRUE(std::equal(measured, measured + 4, block.MeasuredValue));
        EXPECT_EQ(host.log, (std::vector<std::string>{"staleness", "redraw"}));
        EXPECT_EQ(recorder.events.back(), "readings 16 32 48 64 / -1 -2 -32768 1 flags 01 02 42 04");
    }
}

TEST_F(ReadoutTest, ShortMeasurementReplyStoresNothing) {
    receive("01 58 0F " + Repeat("01", 15));
    EXPECT_EQ(block.RawValue[0], NoValue);
    EXPECT_EQ(block.MeasuredValue[3], NoValue);
    EXPECT_TRUE(host.log.empty());
}

TEST_F(ReadoutTest, ReadButtonSendsTheLongRequest) {
    link.readMeasurements();
    EXPECT_EQ(host.log,
              (std::vector<std::string>{"pause 100", "write 01 78 0A 07 01 00 00 00 00 00 00 00 00"}));
}

TEST_F(ReadoutTest, AutoReadSendsOnlyWhenTickedAndNoUploadRuns) {
    const struct {
        const char* name;
        bool ticked, upload, download, sends;
    } cases[] = {
        {"ticked, idle", true, false, false, true},
        {"not ticked", false, false, false, false},
        {"ticked, upload running", true, true, false, false},
        {"ticked, download running", true, false, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LinkFixture f;
        if (c.upload)
            f.link.startUpload();
        if (c.download)
            f.link.startDownload();
        f.host.clear();
        f.link.autoReadTick(c.ticked);
        EXPECT_EQ(f.host.writtenHex(),
                  c.sends ? std::vector<std::string>{"01 78 00"} : std::vector<std::string>{});
    }
}

TEST_F(ReadoutTest, AutoReadResumesWhenTheUploadEnds) {
    link.startUpload();
    for (int tick = 0; tick < 3; ++tick) {
        link.autoReadTick(true);
        link.uploadTimeout();
    }
    ASSERT_EQ(host.statuses.back(), "label1 ' Error ' red");
    host.clear();
    link.autoReadTick(true);
    EXPECT_EQ(host.writtenHex(), std::vector<std::string>{"01 78 00"});

    link.startUpload();
    AnswerPromptly(link, host, 1);
    ASSERT_EQ(host.statuses.back(), "label1 ' Complete ' green");
    host.clear();
    link.autoReadTick(true);
    EXPECT_EQ(host.writtenHex(), std::vector<std::string>{"01 78 00"});
}

TEST_F(ReadoutTest, MeasurementsDuringADownloadAreStoredAndDoNotAdvanceIt) {
    link.startDownload();
    receive("01 58 10 " + Repeat("05 00", 8));
    EXPECT_EQ(recorder.downloadStep, 2);
    EXPECT_EQ(block.RawValue[2], 5);
}

TEST_F(ReadoutTest, StalenessMarksEveryReadingMissing) {
    receive("01 58 10 " + Repeat("05 00", 8));
    host.clear();
    for (int tick = 1; tick <= 2; ++tick) {
        link.stalenessTimeout();
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(block.RawValue[i], NoValue);
            EXPECT_EQ(block.MeasuredValue[i], NoValue);
        }
        EXPECT_EQ(host.count("redraw"), tick);
        EXPECT_EQ(recorder.starting("stale").size(), static_cast<std::size_t>(tick));
    }
}

} // namespace

} // namespace quellix
