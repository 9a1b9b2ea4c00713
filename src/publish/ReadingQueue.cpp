#include "ReadingQueue.h"

#include "AtomicSave.h"
#include "Payloads.h"
#include "PublishLog.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quellix {

namespace {

constexpr char Magic[8] = {'Q', 'L', 'X', 'Q', 'U', 'E', 'U', 'E'};
constexpr std::uint32_t Version = 1;
constexpr int HeaderBytes = 32;
constexpr int AckBytes = 16;
constexpr int RecordsAt = HeaderBytes + 2 * AckBytes;
constexpr int RecordBytes = 48;
constexpr int RecordCrcAt = RecordBytes - 4;

using Record = std::array<unsigned char, RecordBytes>;

constexpr std::array<std::uint32_t, 256> CrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

// CRC-32 as zlib computes it.
std::uint32_t Crc32(const unsigned char* data, std::size_t size) {
    static constexpr std::array<std::uint32_t, 256> table = CrcTable();
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i)
        c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

template <typename T> void Put(unsigned char* at, T value) {
    qToLittleEndian<T>(value, at);
}
template <typename T> T Get(const unsigned char* at) {
    return qFromLittleEndian<T>(at);
}

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool WriteAt(int fd, const void* data, std::size_t size, off_t offset) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, bytes, size, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

std::int64_t ReadAt(int fd, void* data, std::size_t size, off_t offset) {
    auto* bytes = static_cast<char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, bytes + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

QByteArray Header(std::int64_t capacity) {
    QByteArray header(RecordsAt, '\0');
    auto* h = reinterpret_cast<unsigned char*>(header.data());
    std::memcpy(h, Magic, sizeof Magic);
    Put<std::uint32_t>(h + 8, Version);
    Put<std::uint32_t>(h + 12, RecordBytes);
    Put<std::int64_t>(h + 16, capacity);
    Put<std::uint32_t>(h + 24, Crc32(h, 24));
    return header;
}

// The capacity a header holds, or 0 when it is no header of this version.
std::int64_t HeaderCapacity(const unsigned char* h) {
    if (std::memcmp(h, Magic, sizeof Magic) != 0 || Get<std::uint32_t>(h + 8) != Version ||
        Get<std::uint32_t>(h + 12) != RecordBytes || Get<std::uint32_t>(h + 24) != Crc32(h, 24))
        return 0;
    return Get<std::int64_t>(h + 16);
}

std::array<unsigned char, AckBytes> AckSlot(std::int64_t acked) {
    std::array<unsigned char, AckBytes> slot{};
    Put<std::int64_t>(slot.data(), acked);
    Put<std::uint32_t>(slot.data() + 8, Crc32(slot.data(), 8));
    return slot;
}

// The acknowledged sequence number a slot holds; -1 when torn or never written.
std::int64_t AckedIn(const unsigned char* slot) {
    if (Get<std::uint32_t>(slot + 8) != Crc32(slot, 8))
        return -1;
    return Get<std::int64_t>(slot);
}

Record Encode(std::int64_t seq, const Reading& r, bool stale, std::uint32_t namesId) {
    Record rec{};
    unsigned char* p = rec.data();
    Put<std::int64_t>(p, seq);
    Put<std::int64_t>(p + 8, r.msecsSinceEpoch);
    for (std::size_t i = 0; i < 4; ++i) {
        Put<std::int16_t>(p + 16 + 2 * i, r.raw[i]);
        Put<std::int16_t>(p + 24 + 2 * i, r.shown[i]);
        p[32 + i] = r.flags[i];
    }
    p[36] = stale ? 1 : 0;
    Put<std::uint32_t>(p + 40, namesId);
    Put<std::uint32_t>(p + RecordCrcAt, Crc32(p, RecordCrcAt));
    return rec;
}

// The record's sequence number, or 0 when it is torn, damaged or never written.
std::int64_t RecordSeq(const unsigned char* p) {
    if (Get<std::uint32_t>(p + RecordCrcAt) != Crc32(p, RecordCrcAt))
        return 0;
    return std::max<std::int64_t>(Get<std::int64_t>(p), 0);
}

bool SameNames(const ChannelNames& a, const ChannelNames& b) {
    return a.tags == b.tags && a.units == b.units;
}

} // namespace

std::int64_t ReadingQueue::FileBytes(std::int64_t capacity) {
    return RecordsAt + RecordBytes * capacity;
}

std::unique_ptr<ReadingQueue> ReadingQueue::Open(const QString& directory, const QString& unit,
                                                 std::int64_t capacity, QString* error) {
    if (capacity < MinCapacity || capacity > MaxCapacity) {
        *error = QStringLiteral("A queue holds %1 to %2 readings, not %3")
                     .arg(MinCapacity)
                     .arg(MaxCapacity)
                     .arg(capacity);
        return {};
    }
    if (!IsValidUnitId(unit)) {
        *error = QStringLiteral("%1 is no unit id (letters, digits, '_' and '-')").arg(unit);
        return {};
    }
    if (!QDir().mkpath(directory)) {
        *error = QStringLiteral("Cannot make the queue directory %1").arg(directory);
        return {};
    }
    std::unique_ptr<ReadingQueue> queue(new ReadingQueue);
    queue->path_ = QDir(directory).filePath(unit + QStringLiteral(".queue"));
    queue->namesPath_ = QDir(directory).filePath(unit + QStringLiteral(".names"));
    queue->capacity_ = capacity; // of a new file
    if (!queue->Load(error))
        return {};
    if (queue->capacity_ != capacity && !queue->Resize(capacity, error))
        return {};
    return queue;
}

ReadingQueue::~ReadingQueue() = default;

std::int64_t ReadingQueue::Offset(std::int64_t seq) const {
    return RecordsAt + RecordBytes * (seq % capacity_);
}

// Opens and locks the file, makes a new one, checks the header and finds the queue in the records.
bool ReadingQueue::Load(QString* error) {
    const QByteArray name = QFile::encodeName(path_);
    fd_ = UniqueFd(::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    struct stat st {};
    if (!fd_.IsValid() || ::fstat(fd_.Get(), &st) != 0) {
        *error = QStringLiteral("Cannot open the queue %1: %2").arg(path_, SystemError(errno));
        return false;
    }
    if (::flock(fd_.Get(), LOCK_EX | LOCK_NB) != 0) {
        *error = errno == EWOULDBLOCK
                     ? QStringLiteral("The queue %1 is in use by another publisher").arg(path_)
                     : QStringLiteral("Cannot lock the queue %1: %2").arg(path_, SystemError(errno));
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = QStringLiteral("The queue %1 is no regular file").arg(path_);
        return false;
    }
    if (st.st_size == 0 && !Initialise(error))
        return false;
    std::array<unsigned char, RecordsAt> head{};
    if (ReadAt(fd_.Get(), head.data(), head.size(), 0) != RecordsAt ||
        !(capacity_ = HeaderCapacity(head.data())) || capacity_ < MinCapacity || capacity_ > MaxCapacity) {
        *error = QStringLiteral("%1 is no reading queue of this version; move it away to start a new one")
                     .arg(path_);
        return false;
    }
    const int err = ::posix_fallocate(fd_.Get(), 0, FileBytes(capacity_));
    if (err != 0) {
        *error = QStringLiteral("No room for the queue %1 (%2 bytes): %3")
                     .arg(path_)
                     .arg(FileBytes(capacity_))
                     .arg(SystemError(err));
        return false;
    }
    LoadNames();
    namesId_ = names_.empty() ? 0 : names_.rbegin()->first;
    const std::int64_t acked =
        std::max(AckedIn(head.data() + HeaderBytes), AckedIn(head.data() + HeaderBytes + AckBytes));
    ackWrites_ = AckedIn(head.data() + HeaderBytes) == acked ? 1 : 0; // the next one goes to the other slot
    end_ = std::max<std::int64_t>(acked, 0) + 1;
    return Scan(error);
}

bool ReadingQueue::Initialise(QString* error) {
    const QByteArray header = Header(capacity_ ? capacity_ : DefaultCapacity);
    if (!WriteAt(fd_.Get(), header.constData(), static_cast<std::size_t>(header.size()), 0)) {
        *error = QStringLiteral("Cannot write the queue %1: %2").arg(path_, SystemError(errno));
        return false;
    }
    return true;
}

// The newest valid record is the last one appended: every record after the acknowledged one up to it
// is queued, as far as the ring reaches back.
bool ReadingQueue::Scan(QString* error) {
    constexpr std::int64_t Chunk = 4096;
    std::vector<unsigned char> buffer(static_cast<std::size_t>(Chunk * RecordBytes));
    std::int64_t newest = 0;
    for (std::int64_t slot = 0; slot < capacity_; slot += Chunk) {
        const std::int64_t n = std::min(Chunk, capacity_ - slot);
        const std::size_t bytes = static_cast<std::size_t>(n * RecordBytes);
        if (ReadAt(fd_.Get(), buffer.data(), bytes, RecordsAt + slot * RecordBytes) !=
            static_cast<std::int64_t>(bytes)) {
            *error = QStringLiteral("Cannot read the queue %1: %2").arg(path_, SystemError(errno));
            return false;
        }
        for (std::int64_t i = 0; i < n; ++i) {
            const std::int64_t seq = RecordSeq(buffer.data() + i * RecordBytes);
            if (seq > 0 && seq % capacity_ == slot + i)
                newest = std::max(newest, seq);
        }
    }
    const std::int64_t acked = end_ - 1;
    end_ = std::max(newest, acked) + 1;
    first_ = std::max(acked + 1, end_ - capacity_);
    qCDebug(lcPublish) << "queue" << path_ << "holds" << Length() << "readings from" << first_;
    return true;
}

// Moves the newest readings that fit into a new file of `capacity`, replacing the old one whole.
bool ReadingQueue::Resize(std::int64_t capacity, QString* error) {
    const std::int64_t keepFrom = std::max(first_, end_ - capacity);
    QByteArray image = Header(capacity);
    const auto ack = AckSlot(keepFrom - 1);
    std::memcpy(image.data() + HeaderBytes, ack.data(), ack.size());
    image.append(QByteArray(static_cast<qsizetype>(capacity * RecordBytes), '\0'));
    for (std::int64_t seq = keepFrom; seq < end_; ++seq) {
        Record rec{};
        if (ReadAt(fd_.Get(), rec.data(), rec.size(), Offset(seq)) != RecordBytes)
            continue;
        std::memcpy(image.data() + RecordsAt + RecordBytes * (seq % capacity), rec.data(), rec.size());
    }
    QString why;
    if (!SaveFileAtomically(path_, image, {}, &why)) {
        *error = QStringLiteral("Cannot resize the queue %1: %2").arg(path_, why);
        return false;
    }
    const std::int64_t dropped = keepFrom - first_;
    fd_.Reset();
    if (!Load(error))
        return false;
    dropped_ += dropped;
    return true;
}

bool ReadingQueue::Append(const Reading& reading, bool stale, const ChannelNames& names, QString* error) {
    if (namesId_ == 0 || !SameNames(names_[namesId_], names)) {
        // Names older than those of the oldest reading queued are no longer needed.
        // Ids only grow (the newest set has the highest), so a reading never finds another's names.
        const std::uint32_t id = namesId_ + 1;
        const std::uint32_t oldest = Length() > 0 ? NamesIdAt(first_) : id;
        std::erase_if(names_, [oldest](const auto& entry) { return entry.first < oldest; });
        names_[id] = names;
        namesId_ = id;
        if (!SaveNames(error))
            return false;
    }
    if (Length() == capacity_) {
        ++first_; // the oldest gives way
        ++dropped_;
    }
    const Record rec = Encode(end_, reading, stale, namesId_);
    if (!WriteAt(fd_.Get(), rec.data(), rec.size(), Offset(end_))) {
        if (error)
            *error = QStringLiteral("Cannot write the queue %1: %2").arg(path_, SystemError(errno));
        return false;
    }
    ++end_;
    return true;
}

std::vector<QueuedReading> ReadingQueue::Read(std::int64_t from, int count) {
    from = std::max(from, first_);
    const std::int64_t n = std::min<std::int64_t>(count, end_ - from);
    std::vector<QueuedReading> readings;
    if (n <= 0)
        return readings;
    readings.reserve(static_cast<std::size_t>(n));
    std::vector<unsigned char> buffer(static_cast<std::size_t>(n * RecordBytes));
    // At most two pieces: up to the ring's end, and on from its start.
    const std::int64_t firstPiece = std::min(n, capacity_ - from % capacity_);
    const bool read = ReadAt(fd_.Get(), buffer.data(), static_cast<std::size_t>(firstPiece * RecordBytes),
                             Offset(from)) == firstPiece * RecordBytes &&
                      (firstPiece == n || ReadAt(fd_.Get(), buffer.data() + firstPiece * RecordBytes,
                                                 static_cast<std::size_t>((n - firstPiece) * RecordBytes),
                                                 RecordsAt) == (n - firstPiece) * RecordBytes);
    for (std::int64_t i = 0; i < n; ++i) {
        const unsigned char* p = buffer.data() + i * RecordBytes;
        if (!read || RecordSeq(p) != from + i) {
            ++unreadable_;
            qCWarning(lcPublish) << "queue" << path_ << "record" << from + i << "is damaged";
            continue;
        }
        QueuedReading q;
        q.seq = from + i;
        q.reading.msecsSinceEpoch = Get<std::int64_t>(p + 8);
        for (std::size_t c = 0; c < 4; ++c) {
            q.reading.raw[c] = Get<std::int16_t>(p + 16 + 2 * c);
            q.reading.shown[c] = Get<std::int16_t>(p + 24 + 2 * c);
            q.reading.flags[c] = p[32 + c];
        }
        q.stale = p[36] != 0;
        const auto names = names_.find(Get<std::uint32_t>(p + 40));
        if (names != names_.end())
            q.names = names->second;
        readings.push_back(std::move(q));
    }
    return readings;
}

std::uint32_t ReadingQueue::NamesIdAt(std::int64_t seq) const {
    Record rec{};
    if (ReadAt(fd_.Get(), rec.data(), rec.size(), Offset(seq)) != RecordBytes || RecordSeq(rec.data()) != seq)
        return 0;
    return Get<std::uint32_t>(rec.data() + 40);
}

bool ReadingQueue::Acknowledge(std::int64_t seq, QString* error) {
    seq = std::min(seq, end_ - 1);
    if (seq < first_)
        return true;
    first_ = seq + 1;
    const auto slot = AckSlot(seq);
    const off_t at = HeaderBytes + AckBytes * (ackWrites_++ % 2);
    if (!WriteAt(fd_.Get(), slot.data(), slot.size(), at)) {
        if (error)
            *error = QStringLiteral("Cannot write the queue %1: %2").arg(path_, SystemError(errno));
        return false;
    }
    return true;
}

// The names file: {"names":[{"id":1,"tags":[4 texts],"units":[4 texts]},...]}, replaced whole.
bool ReadingQueue::SaveNames(QString* error) {
    QJsonArray sets;
    for (const auto& [id, names] : names_) {
        QJsonArray tags, units;
        for (std::size_t i = 0; i < 4; ++i) {
            tags.append(names.tags[i]);
            units.append(names.units[i]);
        }
        sets.append(QJsonObject{{"id", static_cast<qint64>(id)}, {"tags", tags}, {"units", units}});
    }
    QString why;
    if (SaveFileAtomically(
            namesPath_, QJsonDocument(QJsonObject{{"names", sets}}).toJson(QJsonDocument::Compact), {}, &why))
        return true;
    if (error)
        *error = QStringLiteral("Cannot save %1: %2").arg(namesPath_, why);
    return false;
}

// Missing or unreadable names leave readings with the default names ("Channel 1"): their values stay.
void ReadingQueue::LoadNames() {
    QFile file(namesPath_);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QJsonArray sets = QJsonDocument::fromJson(file.readAll()).object().value("names").toArray();
    for (const QJsonValue& set : sets) {
        const QJsonObject o = set.toObject();
        ChannelNames names;
        for (std::size_t i = 0; i < 4; ++i) {
            names.tags[i] = o.value("tags").toArray().at(static_cast<qsizetype>(i)).toString();
            names.units[i] = o.value("units").toArray().at(static_cast<qsizetype>(i)).toString();
        }
        names_[static_cast<std::uint32_t>(o.value("id").toInteger())] = names;
    }
}

} // namespace quellix
