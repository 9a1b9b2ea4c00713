#include "FakeHost.h"

#include <gtest/gtest.h>

namespace quellix {

namespace {

const std::string readings = "10 00 20 00 30 00 40 00 FF FF FE FF 00 80 01 00";

struct AssemblyCase {
    const char* name;
    std::vector<std::string> batches;
    std::vector<std::string> bufferAfter; // RxBuffer as hex after each batch
    int readAdvance;                      // steps the running download moved on
    int sendAdvance;                      // steps the running upload moved on
    int measurements;                     // 'X' replies taken
    std::vector<std::string> versions;
};

const AssemblyCase assemblyCases[] = {
    {"frame split over three batches", {"01", "58 10", readings}, {"01", "01 58 10", ""}, 0, 0, 1, {}},
    {"one acknowledgement", {"01 51 00"}, {""}, 0, 1, 0, {}},
    {"two frames in one batch dropped whole", {"01 51 00 01 51 00"}, {""}, 0, 0, 0, {}},
    {"frame followed by a further byte dropped", {"01 51 00 51"}, {""}, 0, 0, 0, {}},
    {"batch completing one frame and starting the next", {"01 51", "00 01"}, {"01 51", ""}, 0, 0, 0, {}},
    {"leading byte makes the letter the length", {"00 01 56 00"}, {""}, 0, 0, 0, {}},
    {"kept by its length, dropped by its first byte", {"00 01 05"}, {""}, 0, 0, 0, {}},
    {"first byte of a complete frame not examined", {"00 54 00"}, {""}, 1, 0, 0, {}},
    {"stray byte dropped, next frame taken", {"7F", "01 51 00"}, {"", ""}, 0, 1, 0, {}},
    {"no search for a later SOH", {"51 00 01", "51 00"}, {"", ""}, 0, 0, 0, {}},
    {"waiting with a length above 35 dropped", {"01 56 24"}, {""}, 0, 0, 0, {}},
    {"waiting with a length of 35 kept", {"01 56 23"}, {"01 56 23"}, 0, 0, 0, {}},
    {"length above 35 complete in one batch",
     {"01 56 24 " + Repeat("41", 36)},
     {""},
     1,
     0,
     0,
     {"Software version: " + std::string(36, 'A')}},
    {"SOH alone, then an empty version", {"01", "56 00"}, {"01", ""}, 1, 0, 0, {"Software version: "}},
    {"unknown letter consumed", {"01 5A 01 00"}, {""}, 0, 0, 0, {}},
    {"short measurement consumed like an unknown letter", {"01 58 02 01 00"}, {""}, 0, 0, 0, {}},
};

TEST(RxAssemblyTest, BatchesIntoFrames) {
    for (const auto& c : assemblyCases) {
        SCOPED_TRACE(c.name);
        LinkFixture f;
        f.link.startDownload();
        f.link.startUpload();
        f.host.clear();
        ASSERT_EQ(c.batches.size(), c.bufferAfter.size());
        for (std::size_t i = 0; i < c.batches.size(); ++i) {
            f.receive(c.batches[i]);
            EXPECT_EQ(HexOf(f.recorder.buffer), c.bufferAfter[i]) << "after batch " << i;
        }
        EXPECT_EQ(f.recorder.downloadStep, 2 + c.readAdvance);
        EXPECT_EQ(f.recorder.uploadStep, 1 + c.sendAdvance);
        EXPECT_EQ(f.host.count("staleness"), c.measurements);
        EXPECT_EQ(f.host.versions, c.versions);
    }
}

TEST(RxAssemblyTest, ListenersHearEachFrameAndEachDropWithItsReason) {
    const struct {
        const char* name;
        std::vector<std::string> batches;
        std::vector<std::string> heard; // frames dispatched and bytes dropped
    } cases[] = {
        {"frame split over batches", {"01", "51 00"}, {"frame Q 01 51 00"}},
        {"two frames in one batch", {"01 51 00 01 51 00"}, {"dropped extra bytes: 01 51 00 01 51 00"}},
        {"frame and the start of the next", {"01 51", "00 01"}, {"dropped extra bytes: 01 51 00 01"}},
        {"letter read as a length above 35",
         {"00 01 56 00"},
         {"dropped waiting payload over 35 bytes: 00 01 56 00"}},
        {"waiting with a length above 35", {"01 56 24"}, {"dropped waiting payload over 35 bytes: 01 56 24"}},
        {"kept by its length, not by its first byte", {"00 01 05"}, {"dropped no start byte: 00 01 05"}},
        {"each batch without SOH",
         {"51 00 01", "51 00"},
         {"dropped no start byte: 51 00 01", "dropped no start byte: 51 00"}},
        {"unknown letter", {"01 5A 01 00"}, {"frame Z 01 5A 01 00"}},
        {"short measurement",
         {"01 58 0F " + Repeat("00", 15)},
         {"frame X 01 58 0F " + Repeat("00", 15), "dropped reply too short: 01 58 0F " + Repeat("00", 15)}},
        {"short calibration table",
         {"01 43 01 00"},
         {"frame C 01 43 01 00", "dropped reply too short: 01 43 01 00"}},
        {"item without its code",
         {"01 50 01 00"},
         {"frame P 01 50 01 00", "dropped reply too short: 01 50 01 00"}},
        {"item with an unknown code is no drop", {"01 50 02 00 19"}, {"frame P 01 50 02 00 19"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LinkFixture f;
        for (const auto& batch : c.batches)
            f.receive(batch);
        std::vector<std::string> heard;
        for (const auto& e : f.recorder.events)
            if (e.starts_with("frame") || e.starts_with("dropped"))
                heard.push_back(e);
        EXPECT_EQ(heard, c.heard);
    }
}

TEST(RxAssemblyTest, RepliesAreStoredWithNoSequenceRunning) {
    LinkFixture f;
    f.receive("01 50 05 02 16 41 42 43");
    f.receive("01 56 03 31 2E 32");
    f.receive("01 43 20 " + Repeat("07 00", 16));
    EXPECT_EQ(f.block.TagName[2].text(), "ABC");
    EXPECT_EQ(f.host.versions, std::vector<std::string>{"Software version: 1.2"});
    EXPECT_EQ(f.block.Calibration[3].Calib2, 7);
    EXPECT_EQ(f.host.count("redraw"), 2);
    EXPECT_TRUE(f.recorder.starting("download").empty());
    EXPECT_TRUE(f.recorder.starting("upload").empty());
    EXPECT_TRUE(f.host.writes.empty());
}

TEST(RxAssemblyTest, AcknowledgementsWithNoUploadAreConsumed) {
    LinkFixture f;
    for (const char* ack : {"01 42 00", "01 51 00", "01 53 00", "01 54 00"})
        f.receive(ack);
    EXPECT_TRUE(f.host.log.empty());
    EXPECT_TRUE(f.recorder.starting("download").empty());
    EXPECT_TRUE(f.recorder.starting("upload").empty());
}

} // namespace

} // namespace quellix
