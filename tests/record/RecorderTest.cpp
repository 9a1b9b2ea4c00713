// The recorder's file: one whole line per reading, appended to what a file holds, and every earlier
// line intact when a write fails.
#include "Recorder.h"

#include "FileLimits.h"
#include "TempDir.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace quellix {

namespace {

const QByteArray Header = "Time,a raw,a,b raw,b,c raw,c,d raw,d\n";

// A reading whose raw and shown values are v on every channel, each with one decimal.
Reading Uniform(std::int64_t ms, std::int16_t v) {
    Reading r;
    r.msecsSinceEpoch = ms;
    r.raw = {v, v, v, v};
    r.shown = {v, v, v, v};
    r.flags = {1, 1, 1, 1};
    return r;
}

TEST(Recorder, FailingWriteStopsTheRecordingAndKeepsEveryEarlierLine) {
    struct Case {
        const char* what;
        int roomForNextLine; // bytes of the next line that still fit under the limit
    };
    const Case cases[] = {
        {"part of the line fits: the part written is cut off again", 10},
        {"nothing fits: the write itself fails", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const QString path = dir.file("run.csv");
        Recorder recorder;
        ASSERT_TRUE(recorder.Start(path, Header)) << recorder.Error().toStdString();
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(recorder.Append(Uniform(1000 * i, static_cast<std::int16_t>(i))));
        const QByteArray before = TempDir::read(path);
        ASSERT_EQ(before.count('\n'), 4);
        bool appended = true;
        {
            FileSizeLimit limit(static_cast<rlim_t>(before.size() + c.roomForNextLine));
            ASSERT_TRUE(limit.Ok());
            appended = recorder.Append(Uniform(5000, -1234));
        }
        EXPECT_FALSE(appended);
        EXPECT_FALSE(recorder.Running());
        EXPECT_EQ(TempDir::read(path), before);
        EXPECT_TRUE(recorder.Error().contains(path)) << recorder.Error().toStdString();
        EXPECT_TRUE(recorder.Error().contains("3 lines")) << recorder.Error().toStdString();
        EXPECT_FALSE(recorder.Append(Uniform(6000, 1))) << "nothing more after the failure";
        EXPECT_EQ(TempDir::read(path), before);
    }
}

TEST(Recorder, StartsOnWhatTheFileHolds) {
    const QByteArray line = CsvLine(Uniform(1000, 1));
    struct Case {
        const char* what;
        QByteArray held; // null: no file
        bool starts;
        QByteArray after; // the file after one more reading
    };
    const Case cases[] = {
        {"a new file gets the header", QByteArray(), true, Header + line},
        {"an empty file gets the header", "", true, Header + line},
        {"a recording gets no second header", Header + line, true, Header + line + line},
        {"a cut-off last line gets its line break", Header + "2026-12", true, Header + "2026-12\n" + line},
        {"a file of something else is left alone", "[TForm1]\nShowCmd=1\n", false, "[TForm1]\nShowCmd=1\n"},
        {"a spreadsheet's byte order mark and line ends", "\xEF\xBB\xBF" + Header.chopped(1) + "\r\n", true,
         "\xEF\xBB\xBF" + Header.chopped(1) + "\r\n" + line},
        {"a recording of other columns is left alone", "Time,x raw,x\n" + line, false,
         "Time,x raw,x\n" + line},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const QString path = c.held.isNull() ? dir.file("new.csv") : dir.write("held.csv", c.held);
        Recorder recorder;
        EXPECT_EQ(recorder.Start(path, Header), c.starts) << recorder.Error().toStdString();
        EXPECT_EQ(recorder.Append(Uniform(1000, 1)), c.starts);
        EXPECT_EQ(TempDir::read(path), c.after);
        EXPECT_EQ(recorder.Lines(), c.starts ? 1 : 0);
    }
}

TEST(Recorder, FileDeletedUnderTheRecordingStopsIt) {
    TempDir dir;
    const QString path = dir.file("gone.csv");
    Recorder recorder;
    ASSERT_TRUE(recorder.Start(path, Header));
    ASSERT_TRUE(recorder.Append(Uniform(1000, 1)));
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_FALSE(recorder.Append(Uniform(2000, 2)));
    EXPECT_FALSE(recorder.Running());
    EXPECT_TRUE(recorder.Error().contains("deleted")) << recorder.Error().toStdString();
}

} // namespace

} // namespace quellix
