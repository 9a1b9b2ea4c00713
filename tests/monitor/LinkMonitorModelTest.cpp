#include "LinkMonitorModel.h"

#include "FakeHost.h"
#include "HexBytes.h"

#include "QtPrinters.h"
#include "TempDir.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QDateTime>
#include <QFile>
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace quellix {

namespace {

class MonitorModel : public testing::Test {
protected:
    MonitorModel() {
        model.SetWallClock([this] { return now += 10; });
    }
    QString Words(int row) const {
        return model.data(model.index(row, LinkMonitorModel::MeaningColumn), Qt::DisplayRole).toString();
    }
    QStringList AllWords() {
        model.Flush();
        QStringList words;
        for (int row = 0; row < model.rowCount(); ++row)
            words << Words(row);
        return words;
    }
    bool Red(int row) const {
        return model.data(model.index(row, LinkMonitorModel::MeaningColumn), Qt::ForegroundRole).isValid();
    }

    std::array<std::uint8_t, 4> flags{0x01, 0x01, 0x02, 0x01};
    qint64 now = QDateTime(QDate(2026, 12, 9), QTime(14, 3)).toMSecsSinceEpoch();
    LinkMonitorModel model{[this] { return ChannelFlagBytes(flags); }};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

const std::string Readings = "01 58 10 00 02 E8 01 12 02 9F 02 3C 02 F3 01 3D 03 90 02";
const QString ReadingsWords = "readings: raw 512 488 530 671, shown 57.2 49.9 8.29 65.6";

struct Feed {
    const char* name;
    std::function<void(LinkListener&)> events;
    QStringList words;
    std::vector<bool> red;
};

const Feed Feeds[] = {
    {"frame sent, then resent",
     [](LinkListener& s) {
         s.FrameSent(HexBytes("01 76 00"), 0);
         s.FrameSent(HexBytes("01 76 00"), 1);
         s.FrameSent(HexBytes("01 76 00"), 2);
     },
     {"version request", "version request (resend 1)", "version request (resend 2)"},
     {false, false, false}},
    {"batch taken as one frame",
     [](LinkListener& s) {
         s.BatchReceived(HexBytes(Readings));
         s.FrameDispatched('X', HexBytes(Readings));
     },
     {ReadingsWords},
     {false}},
    {"the next request goes out before a too short reply is dropped",
     [](LinkListener& s) {
         s.BatchReceived(HexBytes("01 43 01 00"));
         s.FrameDispatched('C', HexBytes("01 43 01 00"));
         s.FrameSent(HexBytes("01 70 0A 00 14 00 00 00 00 00 00 00 00"), 0);
         s.Dropped(DropReason::ReplyTooShort, HexBytes("01 43 01 00"));
     },
     {"dropped: calibration reply too short to use (1 of 32 payload bytes)",
      "item request: Header 1 (code 20, index 0)"},
     {true, false}},
    {"frame in three batches",
     [](LinkListener& s) {
         s.BatchReceived(HexBytes("01"));
         s.BatchReceived(HexBytes("58 10"));
         s.BatchReceived(HexBytes(Readings.substr(9)));
         s.FrameDispatched('X', HexBytes(Readings));
     },
     {"part of a frame, waiting for the rest", "part of a frame, waiting for the rest",
      "end of a frame: " + ReadingsWords},
     {false, false, false}},
    {"two frames in one batch",
     [](LinkListener& s) {
         s.BatchReceived(HexBytes("01 51 00 01 51 00"));
         s.Dropped(DropReason::ExtraBytes, HexBytes("01 51 00 01 51 00"));
     },
     {"dropped 6 bytes: more than one frame, or bytes after a frame (item acknowledged, then 3 more)"},
     {true}},
    {"a waiting byte dropped with the batch after it",
     [](LinkListener& s) {
         s.BatchReceived(HexBytes("01"));
         s.BatchReceived(HexBytes("51 00 00"));
         s.Dropped(DropReason::ExtraBytes, HexBytes("01 51 00 00"));
     },
     {"part of a frame, waiting for the rest",
      "dropped 4 bytes: more than one frame, or bytes after a frame (item acknowledged, then 1 more)"},
     {false, true}},
    {"waiting frame too long",
     [](LinkListener& s) {
         s.BatchReceived(HexBytes("01 56 24"));
         s.Dropped(DropReason::WaitingTooLong, HexBytes("01 56 24"));
     },
     {"dropped 3 bytes: a waiting frame longer than 35 payload bytes"},
     {true}},
    {"no start byte",
     [](LinkListener& s) {
         s.BatchReceived(HexBytes("7F"));
         s.Dropped(DropReason::NoStartByte, HexBytes("7F"));
     },
     {"dropped 1 bytes: first byte is not 0x01"},
     {true}},
    {"reply too short, taken and then dropped",
     [](LinkListener& s) {
         s.BatchReceived(HexBytes("01 58 02 01 00"));
         s.FrameDispatched('X', HexBytes("01 58 02 01 00"));
         s.Dropped(DropReason::ReplyTooShort, HexBytes("01 58 02 01 00"));
     },
     {"dropped: readings too short to use (2 of 16 payload bytes)"},
     {true}},
    {"frame and drop with no batch told of",
     [](LinkListener& s) {
         s.FrameDispatched('Q', HexBytes("01 51 00"));
         s.Dropped(DropReason::ExtraBytes, HexBytes("01 53 00 00"));
     },
     {"item acknowledged",
      "dropped 4 bytes: more than one frame, or bytes after a frame (store acknowledged, then 1 more)"},
     {false, true}},
    {"download with a resent first step, completed, started again and aborted",
     [](LinkListener& s) {
         s.FrameSent(HexBytes("01 76 00"), 0);
         s.SequenceStep(LinkSequence::Download, 2, StepOutcome::Requested);
         s.FrameSent(HexBytes("01 76 00"), 1);
         s.SequenceStep(LinkSequence::Download, 2, StepOutcome::Requested);
         s.FrameSent(HexBytes("01 63 00"), 0);
         s.SequenceStep(LinkSequence::Download, 3, StepOutcome::Requested);
         s.SequenceStep(LinkSequence::Download, 15, StepOutcome::Complete);
         s.FrameSent(HexBytes("01 76 00"), 0);
         s.SequenceStep(LinkSequence::Download, 2, StepOutcome::Requested);
         s.SequenceStep(LinkSequence::Download, 2, StepOutcome::Aborted);
     },
     {"version request", "download started", "version request (resend 1)", "calibration request",
      "download: \" Complete \"", "version request", "download started",
      "download: \" Error \", aborted at step 2: the port went away"},
     {false, false, false, false, false, false, false, true}},
    {"upload in error, readings stale once until readings come again",
     [](LinkListener& s) {
         s.SequenceStep(LinkSequence::Upload, 1, StepOutcome::Requested);
         s.SequenceStep(LinkSequence::Upload, 1, StepOutcome::Error);
         s.ReadingsStale();
         s.ReadingsStale();
         const std::int16_t values[4] = {};
         const std::uint8_t flags[4] = {};
         s.ReadingsTaken(values, values, flags);
         s.ReadingsStale();
     },
     {"upload started", "upload: \" Error \", step 1 unanswered after its resends",
      "readings stale: no reply for 5 s, all shown as ---",
      "readings stale: no reply for 5 s, all shown as ---"},
     {false, true, false, false}},
};

} // namespace

TEST_F(MonitorModel, EntriesInWords) {
    for (const Feed& feed : Feeds) {
        SCOPED_TRACE(feed.name);
        model.Clear();
        feed.events(model);
        EXPECT_EQ(AllWords(), feed.words);
        ASSERT_EQ(static_cast<std::size_t>(model.rowCount()), feed.red.size());
        for (int row = 0; row < model.rowCount(); ++row) {
            EXPECT_EQ(Red(row), feed.red[static_cast<std::size_t>(row)]) << "row " << row;
            EXPECT_EQ(model.RowDropped(row), feed.red[static_cast<std::size_t>(row)] &&
                                                 !Words(row).contains(QLatin1String("Error")));
        }
    }
}

TEST_F(MonitorModel, WordsChangeOnceTheFrameIsTakenAfterTheRowIsShown) {
    model.BatchReceived(HexBytes("01 51 00"));
    model.Flush();
    EXPECT_EQ(Words(0), "part of a frame, waiting for the rest");
    model.FrameDispatched('Q', HexBytes("01 51 00"));
    EXPECT_EQ(Words(0), "item acknowledged");
}

TEST_F(MonitorModel, ARowSaysWhenItsReplyMovedNoStepOn) {
    model.BatchReceived(HexBytes("01 50 03 01 16 41"));
    model.FrameDispatched('P', HexBytes("01 50 03 01 16 41"));
    model.LateReply(LinkSequence::Download, HexBytes("01 50 03 01 16 41"));
    EXPECT_EQ(AllWords(), QStringList{"item reply: Tag 2 = 'A' (late reply to the item request for Tag 2: no "
                                      "step moved on)"});
}

TEST_F(MonitorModel, ReadingsShowTheDecimalsStoredWithThem) {
    const std::int16_t values[4] = {};
    const std::uint8_t none[4] = {0, 0, 0, 0};
    model.BatchReceived(HexBytes(Readings));
    model.FrameDispatched('X', HexBytes(Readings));
    model.ReadingsTaken(values, values, none);
    model.BatchReceived(HexBytes(Readings));
    model.FrameDispatched('X', HexBytes(Readings));
    EXPECT_EQ(AllWords(),
              (QStringList{"readings: raw 512 488 530 671, shown 572 499 829 656", ReadingsWords}));
}

TEST_F(MonitorModel, KeepsTheLastTenThousandEntries) {
    // Flushed now and then, as the event loop would: rows leave the top while new ones come in.
    const int total = LinkMonitorModel::Capacity + 2500;
    for (int i = 0; i < total; ++i) {
        model.FrameSent(HexBytes("01 70 0A 00 16 00 00 00 00 00 00 00 00"), i % 3);
        if (i % 997 == 0 || i == LinkMonitorModel::Capacity + 3)
            model.Flush();
    }
    model.Flush();
    EXPECT_EQ(model.EntryCount(), LinkMonitorModel::Capacity);
    EXPECT_EQ(model.rowCount(), LinkMonitorModel::Capacity);
    const auto time = [this](int row) {
        return model.data(model.index(row, LinkMonitorModel::TimeColumn), Qt::DisplayRole).toString();
    };
    const qint64 firstKept = now - 10 * (LinkMonitorModel::Capacity - 1);
    EXPECT_EQ(time(0), QDateTime::fromMSecsSinceEpoch(firstKept).toString("HH:mm:ss.zzz"));
    EXPECT_EQ(time(LinkMonitorModel::Capacity - 1),
              QDateTime::fromMSecsSinceEpoch(now).toString("HH:mm:ss.zzz"));
    EXPECT_EQ(model.AllText().count(u'\n'), LinkMonitorModel::Capacity);

    // More than a whole ring between two flushes.
    for (int i = 0; i < LinkMonitorModel::Capacity + 10; ++i)
        model.FrameSent(HexBytes("01 76 00"), 0);
    model.Flush();
    EXPECT_EQ(model.rowCount(), LinkMonitorModel::Capacity);
    EXPECT_EQ(Words(0), "version request");
}

TEST_F(MonitorModel, PauseRecordsNothingAndTellsWhatWasMissed) {
    model.FrameSent(HexBytes("01 76 00"), 0);
    model.SetPaused(true);
    model.FrameSent(HexBytes("01 63 00"), 0);
    model.BatchReceived(HexBytes("01 56 00"));
    model.FrameDispatched('V', HexBytes("01 56 00"));
    model.SequenceStep(LinkSequence::Download, 5, StepOutcome::Error);
    model.SetPaused(false);
    model.BatchReceived(HexBytes("01 53 00"));
    model.FrameDispatched('S', HexBytes("01 53 00"));
    EXPECT_EQ(AllWords(),
              (QStringList{"version request", "paused: 3 events not recorded", "store acknowledged"}));
}

TEST_F(MonitorModel, SavesEveryEntryAsText) {
    model.FrameSent(HexBytes("01 76 00"), 1);
    model.BatchReceived(HexBytes("01 56 03 51 58 34"));
    model.FrameDispatched('V', HexBytes("01 56 03 51 58 34"));
    model.SequenceStep(LinkSequence::Download, 15, StepOutcome::Complete);
    TempDir dir;
    QString error;
    ASSERT_TRUE(model.SaveText(dir.file("monitor.txt"), &error)) << error.toStdString();
    const auto at = [](qint64 ms) { return QDateTime::fromMSecsSinceEpoch(ms).toString("HH:mm:ss.zzz"); };
    const qint64 t0 = QDateTime(QDate(2026, 12, 9), QTime(14, 3)).toMSecsSinceEpoch();
    EXPECT_EQ(QString::fromUtf8(TempDir::read(dir.file("monitor.txt"))),
              at(t0 + 10) + "  \u2192  01 76 00  version request (resend 1)\n" + at(t0 + 20) +
                  "  \u2190  01 56 03 51 58 34  version reply: 'QX4'\n" + at(t0 + 30) +
                  "     download: \" Complete \"\n");

    EXPECT_FALSE(model.SaveText(dir.file("missing/monitor.txt"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(dir.file("missing/monitor.txt")));
}

} // namespace quellix

namespace quellix {

// The monitor following a real link, in the order the link tells things: a download whose first item
// request goes unanswered and is resent, and whose calibration reply comes with a stray byte, is
// dropped and asked for again.
TEST_F(MonitorModel, FollowsTheLinksOwnOrderOfEvents) {
    ConfigBlock block = DefaultBlock();
    FakeHost host;
    DeviceLink link(block, host);
    link.addListener(model);
    link.startDownload();
    std::size_t answered = 0;
    bool garbled = false;
    bool unanswered = false;
    while (answered < host.writes.size()) {
        const FrameBytes request = host.writes[answered++];
        if (request[1] == 'p' && !unanswered) {
            unanswered = true;
            link.downloadTimeout();
            continue;
        }
        FrameBytes reply = ReplyTo(request);
        if (request[1] == 'c' && !garbled) {
            garbled = true;
            reply.push_back(0);
            link.receive({reinterpret_cast<const char*>(reply.data()), reply.size()});
            link.downloadTimeout();
            continue;
        }
        link.receive({reinterpret_cast<const char*>(reply.data()), reply.size()});
    }
    link.removeListener(model);
    const QStringList words = AllWords();
    const QString calibration = "calibration reply: 1: 4369 \u2192 436.9, 4369 \u2192 436.9; "
                                "2: 8738 \u2192 873.8, 8738 \u2192 873.8; "
                                "3: 13107 \u2192 131.07, 13107 \u2192 131.07; "
                                "4: 17476 \u2192 1747.6, 17476 \u2192 1747.6";
    ASSERT_GE(words.size(), 12);
    EXPECT_EQ(words.mid(0, 12),
              (QStringList{
                  "version request", "download started", "version reply: '2.07'", "calibration request",
                  "dropped 36 bytes: more than one frame, or bytes after a frame (" + calibration +
                      ", then 1 more)",
                  "calibration request (resend 1)", calibration, "item request: Header 1 (code 20, index 0)",
                  "item request: Header 1 (code 20, index 0) (resend 1)", "item reply: Header 1 = 'a0'",
                  "item request: Header 2 (code 21, index 0)", "item reply: Header 2 = 'b0'"}));
    EXPECT_EQ(words.back(), "download: \" Complete \"");
    EXPECT_EQ(words.filter("started").size(), 1);
    EXPECT_EQ(model.RowDropped(4), true);
}

} // namespace quellix
