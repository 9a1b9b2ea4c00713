// A unit's readings on their way to the broker, kept on disk in the order they were taken, with their
// times and the channels' names they were taken under, until the broker has acknowledged them.
//
// The file is a ring of fixed 48-byte records, each with its sequence number and a checksum, made at
// its full size when the queue is opened, so its size never grows: 64 + 48 x capacity bytes
// (4,147,264 for a day at one reading a second). A record is one pwrite(2): a process killed at any
// moment leaves at most the record being written torn, which its checksum finds and which is never
// read back. What the broker acknowledged is kept in two alternating slots, so a torn one leaves the
// other. Nothing is synced to the disk: the records survive the program, not a power cut.
#pragma once

#include "ReadingFormat.h"
#include "UniqueFd.h"

#include <QString>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace quellix {

struct QueuedReading {
    std::int64_t seq = 0;
    Reading reading;
    bool stale = false;
    ChannelNames names;
};

class ReadingQueue {
public:
    static constexpr std::int64_t DefaultCapacity = 24 * 60 * 60; // a day at one reading a second
    static constexpr std::int64_t MinCapacity = 16;
    static constexpr std::int64_t MaxCapacity = 7 * DefaultCapacity;
    // The queue file's size for `capacity` readings; the names file beside it adds a few hundred bytes.
    static std::int64_t FileBytes(std::int64_t capacity);

    // Opens the queue of `unit` in `directory` ("UNIT.queue", and "UNIT.names" for the channels'
    // names), making both when missing. A queue made with another capacity keeps its newest readings
    // that fit, the others counted in Dropped(). Nothing when it cannot be had, with `error` saying
    // why: another publisher holds it, the disk has no room for it, the file is no queue.
    static std::unique_ptr<ReadingQueue> Open(const QString& directory, const QString& unit,
                                              std::int64_t capacity, QString* error);
    ~ReadingQueue();
    ReadingQueue(const ReadingQueue&) = delete;
    ReadingQueue& operator=(const ReadingQueue&) = delete;

    // Adds a reading at the end; a full queue gives up its oldest one for it, counted in Dropped().
    // False with `error` set when it could not be written: that reading is lost, the rest stays.
    bool Append(const Reading& reading, bool stale, const ChannelNames& names, QString* error = nullptr);
    // Up to `count` readings in order from sequence number `from` on (from First() at the least). A
    // record the disk gives back damaged is left out, and counted in Unreadable().
    std::vector<QueuedReading> Read(std::int64_t from, int count);
    // The readings up to and including `seq` reached the broker and leave the queue.
    bool Acknowledge(std::int64_t seq, QString* error = nullptr);

    // Sequence numbers: the oldest reading queued, and the one the next reading gets (equal when empty).
    std::int64_t First() const { return first_; }
    std::int64_t End() const { return end_; }
    std::int64_t Length() const { return end_ - first_; }
    std::int64_t Capacity() const { return capacity_; }
    // Readings that gave way to newer ones since Open.
    std::int64_t Dropped() const { return dropped_; }
    std::int64_t Unreadable() const { return unreadable_; }
    const QString& Path() const { return path_; }

private:
    ReadingQueue() = default;
    bool Load(QString* error);
    bool Initialise(QString* error);
    bool Resize(std::int64_t capacity, QString* error);
    bool Scan(QString* error);
    bool SaveNames(QString* error);
    void LoadNames();
    std::uint32_t NamesIdAt(std::int64_t seq) const;
    std::int64_t Offset(std::int64_t seq) const;

    QString path_;
    QString namesPath_;
    UniqueFd fd_;
    std::int64_t capacity_ = 0;
    std::int64_t first_ = 1;
    std::int64_t end_ = 1;
    std::int64_t dropped_ = 0;
    std::int64_t unreadable_ = 0;
    std::int64_t ackWrites_ = 0;
    std::map<std::uint32_t, ChannelNames> names_; // by id; readings carry the id
    std::uint32_t namesId_ = 0;                   // of the names the last reading was taken under
};

} // namespace quellix
