#include "LinkMonitorModel.h"

#include "QtPrinters.h"
#include "TempDir.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QDateTime>
#include <QFile>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace quellix {

namespace {

std::string Bytes(std::string_view hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 3)
        bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    return bytes;
}

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

    ChannelFlagBytes flags{0x01, 0x01, 0x02, 0x01};
    qint64 now = QDateTime(QDate(2026, 12, 9), QTime(14, 3)).toMSecsSinceEpoch();
    LinkMonitorModel model{[this] { return flags; }};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

const std::string Readings = "01 58 10 00 02 E8 01 12 02 9F 02 3C 02 F3 01 3D 03 90 02";
const QString ReadingsWords = "readings: raw 512 488 530 671, shown 57.2 49.9 8.29 65.6";

struct Feed {
    const char* name;
    std::function<void(LinkEventSink&)> events;
    QStringList words;
    std::vector<bool> red;
};

const Feed Feeds[] = {
    {"frame sent, then resent",
     [](LinkEventSink& s) {
         s.FrameSent(Bytes("01 76 00"), 0);
         s.FrameSent(Bytes("01 76 00"), 1);
         s.FrameSent(Bytes("01 76 00"), 2);
     },
     {"version request", "version request (resend 1 of 2)", "version request (resend 2 of 2)"},
     {false, false, false}},
    {"batch taken as one frame",
     [](LinkEventSink& s) {
         s.BatchReceived(Bytes(Readings));
         s.FrameDispatched('X', Bytes(Readings));
         s.ReadingsTaken();
     },
     {ReadingsWords},
     {false}},
    {"the next request goes out before the reply is taken",
     [](LinkEventSink& s) {
         s.BatchReceived(Bytes("01 56 02 56 31"));
         s.FrameSent(Bytes("01 63 00"), 0);
         s.FrameDispatched('V', Bytes("01 56 02 56 31"));
     },
     {"version reply: 'V1'", "calibration request"},
     {false, false}},
    {"frame in three batches",
     [](LinkEventSink& s) {
         s.BatchReceived(Bytes("01"));
         s.BatchReceived(Bytes("58 10"));
         s.BatchReceived(Bytes(Readings.substr(9)));
         s.FrameDispatched('X', Bytes(Readings));
     },
     {"part of a frame, waiting for the rest", "part of a frame, waiting for the rest",
      "end of a frame: " + ReadingsWords},
     {false, false, false}},
    {"two frames in one batch",
     [](LinkEventSink& s) {
         s.BatchReceived(Bytes("01 51 00 01 51 00"));
         s.Dropped(Bytes("01 51 00 01 51 00"), DropReason::ExtraBytes);
     },
     {"dropped 6 bytes: more than one frame, or bytes after a frame (item acknowledged, then 3 more)"},
     {true}},
    {"a waiting byte dropped with the batch after it",
     [](LinkEventSink& s) {
         s.BatchReceived(Bytes("01"));
         s.BatchReceived(Bytes("51 00 00"));
         s.Dropped(Bytes("01 51 00 00"), DropReason::ExtraBytes);
     },
     {"part of a frame, waiting for the rest",
      "dropped 4 bytes: more than one frame, or bytes after a frame (item acknowledged, then 1 more)"},
     {false, true}},
    {"waiting frame too long",
     [](LinkEventSink& s) {
         s.BatchReceived(Bytes("01 56 24"));
         s.Dropped(Bytes("01 56 24"), DropReason::OversizedWait);
     },
     {"dropped 3 bytes: a waiting frame longer than 35 payload bytes"},
     {true}},
    {"no start byte",
     [](LinkEventSink& s) {
         s.BatchReceived(Bytes("7F"));
         s.Dropped(Bytes("7F"), DropReason::NoStartByte);
     },
     {"dropped 1 bytes: first byte is not 0x01"},
     {true}},
    {"reply too short, taken and then dropped",
     [](LinkEventSink& s) {
         s.BatchReceived(Bytes("01 58 02 01 00"));
         s.FrameDispatched('X', Bytes("01 58 02 01 00"));
         s.Dropped(Bytes("01 58 02 01 00"), DropReason::ReplyTooShort);
     },
     {"dropped: readings too short to use (2 of 16 payload bytes)"},
     {true}},
    {"frame and drop with no batch told of",
     [](LinkEventSink& s) {
         s.FrameDispatched('Q', Bytes("01 51 00"));
         s.Dropped(Bytes("01 53 00 00"), DropReason::ExtraBytes);
     },
     {"item acknowledged",
      "dropped 4 bytes: more than one frame, or bytes after a frame (store acknowledged, then 1 more)"},
     {false, true}},
    {"download with a resent first step, completed",
     [](LinkEventSink& s) {
         s.SequenceStep(SequenceKind::Download, 2);
         s.SequenceStep(SequenceKind::Download, 2);
         s.SequenceStep(SequenceKind::Download, 3);
         s.SequenceEnded(SequenceKind::Download, SequenceOutcome::Complete);
         s.SequenceStep(SequenceKind::Download, 2);
         s.SequenceEnded(SequenceKind::Download, SequenceOutcome::Aborted);
     },
     {"download started", "download: \" Complete \"", "download started",
      "download: \" Error \", aborted: the port went away"},
     {false, false, false, true}},
    {"upload in error, readings stale",
     [](LinkEventSink& s) {
         s.SequenceStep(SequenceKind::Upload, 1);
         s.SequenceEnded(SequenceKind::Upload, SequenceOutcome::Error);
         s.ReadingsStale();
     },
     {"upload started", "upload: \" Error \", no reply after two resends",
      "readings stale: no reply for 5 s, all shown as ---"},
     {false, true, false}},
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
    model.BatchReceived(Bytes("01 51 00"));
    model.Flush();
    EXPECT_EQ(Words(0), "part of a frame, waiting for the rest");
    model.FrameDispatched('Q', Bytes("01 51 00"));
    EXPECT_EQ(Words(0), "item acknowledged");
}

TEST_F(MonitorModel, DisplayedValuesUseTheFlagsOfTheirMoment) {
    model.BatchReceived(Bytes(Readings));
    model.FrameDispatched('X', Bytes(Readings));
    flags = {0, 0, 0, 0};
    model.BatchReceived(Bytes(Readings));
    model.FrameDispatched('X', Bytes(Readings));
    EXPECT_EQ(AllWords(),
              (QStringList{ReadingsWords, "readings: raw 512 488 530 671, shown 572 499 829 656"}));
}

TEST_F(MonitorModel, KeepsTheLastTenThousandEntries) {
    // Flushed now and then, as the event loop would: rows leave the top while new ones come in.
    const int total = LinkMonitorModel::Capacity + 2500;
    for (int i = 0; i < total; ++i) {
        model.FrameSent(Bytes("01 70 0A 00 16 00 00 00 00 00 00 00 00"), i % 3);
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
        model.ReadingsStale();
    model.Flush();
    EXPECT_EQ(model.rowCount(), LinkMonitorModel::Capacity);
    EXPECT_EQ(Words(0), "readings stale: no reply for 5 s, all shown as ---");
}

TEST_F(MonitorModel, PauseRecordsNothingAndTellsWhatWasMissed) {
    model.FrameSent(Bytes("01 76 00"), 0);
    model.SetPaused(true);
    model.FrameSent(Bytes("01 63 00"), 0);
    model.BatchReceived(Bytes("01 56 00"));
    model.FrameDispatched('V', Bytes("01 56 00"));
    model.SequenceEnded(SequenceKind::Download, SequenceOutcome::Error);
    model.SetPaused(false);
    model.BatchReceived(Bytes("01 53 00"));
    model.FrameDispatched('S', Bytes("01 53 00"));
    EXPECT_EQ(AllWords(),
              (QStringList{"version request", "paused: 3 events not recorded", "store acknowledged"}));
}

TEST_F(MonitorModel, SavesEveryEntryAsText) {
    model.FrameSent(Bytes("01 76 00"), 1);
    model.BatchReceived(Bytes("01 56 03 51 58 34"));
    model.FrameDispatched('V', Bytes("01 56 03 51 58 34"));
    model.SequenceEnded(SequenceKind::Download, SequenceOutcome::Complete);
    TempDir dir;
    QString error;
    ASSERT_TRUE(model.SaveText(dir.file("monitor.txt"), &error)) << error.toStdString();
    const auto at = [](qint64 ms) { return QDateTime::fromMSecsSinceEpoch(ms).toString("HH:mm:ss.zzz"); };
    const qint64 t0 = QDateTime(QDate(2026, 12, 9), QTime(14, 3)).toMSecsSinceEpoch();
    EXPECT_EQ(QString::fromUtf8(TempDir::read(dir.file("monitor.txt"))),
              at(t0 + 10) + "  \u2192  01 76 00  version request (resend 1 of 2)\n" + at(t0 + 20) +
                  "  \u2190  01 56 03 51 58 34  version reply: 'QX4'\n" + at(t0 + 30) +
                  "     download: \" Complete \"\n");

    EXPECT_FALSE(model.SaveText(dir.file("missing/monitor.txt"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(dir.file("missing/monitor.txt")));
}

} // namespace quellix
