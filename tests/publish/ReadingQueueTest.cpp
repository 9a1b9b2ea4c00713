// The queue on disk: order, times and names across a restart, acknowledgements, a full queue giving
// up its oldest within its fixed size, a torn record, and a child killed while appending.
#include "ReadingQueue.h"

#include "ChildProcess.h"
#include "TempDir.h"
#include "TestReadings.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <gtest/gtest.h>

namespace quellix {

namespace {

std::unique_ptr<ReadingQueue> Open(const TempDir& dir, std::int64_t capacity, const QString& unit = "unit") {
    QString error;
    auto queue = ReadingQueue::Open(dir.path(), unit, capacity, &error);
    EXPECT_TRUE(queue) << error.toStdString();
    return queue;
}

void Reopen(std::unique_ptr<ReadingQueue>& queue, const TempDir& dir, std::int64_t capacity) {
    queue.reset(); // lets go of the lock first
    queue = Open(dir, capacity);
}

ChannelNames Names(const char* tag) {
    ChannelNames names;
    names.tags[0] = tag;
    return names;
}

// Every reading from First() on is whole and the one appended under its number.
void ExpectIntact(ReadingQueue& queue) {
    const std::vector<QueuedReading> all = queue.Read(queue.First(), static_cast<int>(queue.Length()));
    ASSERT_EQ(static_cast<std::int64_t>(all.size()), queue.Length());
    for (std::int64_t seq = queue.First(); const QueuedReading& q : all) {
        const Reading r = TestReading(seq);
        ASSERT_TRUE(q.seq == seq++ && q.reading.msecsSinceEpoch == r.msecsSinceEpoch &&
                    q.reading.raw == r.raw && q.reading.shown == r.shown && q.reading.flags == r.flags);
    }
}

TEST(ReadingQueue, KeepsOrderTimesAndNamesAcrossARestartUntilAcknowledged) {
    TempDir dir;
    auto queue = Open(dir, 100);
    for (int n = 1; n <= 6; ++n)
        ASSERT_TRUE(queue->Append(TestReading(n), n == 4, Names(n <= 3 ? "Flow" : "Renamed")));
    ASSERT_TRUE(queue->Acknowledge(2));
    Reopen(queue, dir, 100);
    EXPECT_TRUE(queue->First() == 3 && queue->End() == 7);
    ExpectIntact(*queue);
    const std::vector<QueuedReading> read = queue->Read(0, 2);
    EXPECT_TRUE(read.at(0).names.tags[0] == "Flow" && read.at(1).names.tags[0] == "Renamed" &&
                read.at(1).stale);
    EXPECT_EQ(QFileInfo(queue->Path()).size(), ReadingQueue::FileBytes(100));
}

TEST(ReadingQueue, AFullQueueGivesUpItsOldestAndKeepsItsSize) {
    TempDir dir;
    auto queue = Open(dir, 16);
    for (int n = 1; n <= 20; ++n)
        ASSERT_TRUE(queue->Append(TestReading(n), false, Names("A")));
    EXPECT_TRUE(queue->First() == 5 && queue->Dropped() == 4);
    ExpectIntact(*queue);
    EXPECT_EQ(QFileInfo(queue->Path()).size(), ReadingQueue::FileBytes(16));
    // Opened with room for more, then for fewer: the newest that fit stay.
    Reopen(queue, dir, 32);
    EXPECT_EQ(queue->Length(), 16);
    for (int n = 21; n <= 40; ++n)
        ASSERT_TRUE(queue->Append(TestReading(n), false, Names("A")));
    Reopen(queue, dir, 16);
    EXPECT_TRUE(queue->First() == 25 && queue->Dropped() == 16);
    ExpectIntact(*queue);
}

TEST(ReadingQueue, ATornRecordIsNeverReadBackAndAForeignFileNeverWritten) {
    TempDir dir;
    auto queue = Open(dir, 16);
    for (int n = 1; n <= 3; ++n)
        ASSERT_TRUE(queue->Append(TestReading(n), false, Names("A")));
    QString error;
    EXPECT_FALSE(ReadingQueue::Open(dir.path(), "unit", 16, &error));
    EXPECT_TRUE(error.contains("in use by another publisher")) << error.toStdString();
    queue.reset();
    QFile file(dir.file("unit.queue"));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.seek(ReadingQueue::FileBytes(3) + 40));
    file.write("torn"); // the third record, half written
    file.close();
    Reopen(queue, dir, 16);
    EXPECT_EQ(queue->End(), 3);
    ExpectIntact(*queue);

    dir.write("other.queue", "not a queue");
    EXPECT_FALSE(ReadingQueue::Open(dir.path(), "other", 16, &error));
    EXPECT_TRUE(error.contains("no reading queue")) << error.toStdString();
    EXPECT_EQ(TempDir::read(dir.file("other.queue")), "not a queue");
}

// A child appends without pause and is killed three times: every reading it said it had written is
// there, whole and in order, and each run goes on after the last.
TEST(ReadingQueue, SurvivesKillNineWhileAppending) {
    TempDir dir;
    std::int64_t said = 0;
    for (const int lines : {300, 700, 1200}) {
        const QString out = dir.file(QString("out%1").arg(lines));
        ChildProcess child(QCoreApplication::applicationDirPath() + "/publish_helper",
                           {"append", dir.path(), "500"}, out);
        ASSERT_TRUE(QTest::qWaitFor([&] { return TempDir::read(out).count('\n') >= lines; }, 20000));
        ASSERT_TRUE(child.signal(SIGKILL));
        child.wait(5000);
        const QList<QByteArray> numbers = TempDir::read(out).trimmed().split('\n');
        ASSERT_GT(numbers.front().toLongLong(), said);
        said = numbers.back().toLongLong();

        auto queue = Open(dir, 500, "child");
        EXPECT_TRUE(queue->End() - 1 == said || queue->End() - 1 == said + 1); // + the one being written
        EXPECT_EQ(queue->Length(), std::min<std::int64_t>(queue->End() - 1, 500));
        ExpectIntact(*queue);
    }
}

} // namespace

} // namespace quellix
