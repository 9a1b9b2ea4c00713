#include "Recorder.h"

#include "AtomicSave.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quellix {

namespace {

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The last byte of the file, or 0 for an empty or unreadable one.
char LastByte(int fd, std::int64_t size) {
    char last = 0;
    if (size > 0 && ::pread(fd, &last, 1, size - 1) != 1)
        return 0;
    return last;
}

// The first line of the file, up to 4 KiB of it.
QByteArray FirstLine(int fd) {
    QByteArray head(4096, '\0');
    const ssize_t n = ::pread(fd, head.data(), static_cast<std::size_t>(head.size()), 0);
    head.truncate(n > 0 ? n : 0);
    const qsizetype end = head.indexOf('\n');
    return end >= 0 ? head.left(end) : head;
}

} // namespace

Recorder::Recorder() {
    IgnoreFileSizeSignal();
}

bool Recorder::Start(const QString& path, const QByteArray& header) {
    Stop();
    error_.clear();
    otherChannels_ = false;
    lines_ = 0;
    path_ = path;
    // A device or FIFO is not even opened: opening a serial port, for one, changes its lines.
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        error_ = QStringLiteral("Cannot record to %1: not a regular file").arg(path);
        return false;
    }
    UniqueFd fd(::open(name.constData(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
    if (!fd.IsValid() || ::fstat(fd.Get(), &st) != 0) {
        error_ = QStringLiteral("Cannot record to %1: %2").arg(path, SystemError(errno));
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error_ = QStringLiteral("Cannot record to %1: not a regular file").arg(path);
        return false;
    }
    if (st.st_size > 0 && !TakesLinesOf(fd.Get(), header))
        return false;
    fd_ = std::move(fd);
    size_ = st.st_size;
    QByteArray lead = size_ == 0 ? header : QByteArray();
    // A last line cut off by someone else gets its line break, so the next line starts on its own.
    if (size_ > 0 && LastByte(fd_.Get(), size_) != '\n')
        lead = "\n";
    if (lead.isEmpty())
        return true;
    if (const QString why = WriteLine(lead); !why.isEmpty()) {
        Stop();
        error_ = QStringLiteral("Cannot record to %1: %2").arg(path, why);
        return false;
    }
    return true;
}

bool Recorder::Append(const Reading& reading) {
    if (!Running())
        return false;
    const QString why = WriteLine(CsvLine(reading));
    if (why.isEmpty()) {
        ++lines_;
        return true;
    }
    Stop();
    error_ = QStringLiteral("Recording to %1 stopped: %2.").arg(path_, why);
    return false;
}

void Recorder::Stop() {
    fd_.Reset();
}

// Lines go after what the file holds only when it is a recording of the same columns: under another
// header they would be read as values of other channels.
bool Recorder::TakesLinesOf(int fd, const QByteArray& header) {
    QByteArray first = FirstLine(fd);
    if (first.endsWith('\r'))
        first.chop(1);
    if (first.startsWith("\xEF\xBB\xBF"))
        first.remove(0, 3);
    if (!IsCsvHeader(first)) {
        error_ = QStringLiteral("Cannot record to %1: it holds something else than recorded readings "
                                "(its first line is no \"Time,...\" header)")
                     .arg(path_);
        return false;
    }
    if (first + '\n' != header) {
        otherChannels_ = true;
        error_ = QStringLiteral("Cannot add to %1: it records other columns (other tags, units or channels) "
                                "than this recording would write")
                     .arg(path_);
        return false;
    }
    return true;
}

// One write; on failure whatever part of `line` reached the file is cut off again. Returns why it
// failed, empty when it did not.
QString Recorder::WriteLine(const QByteArray& line) {
    const ssize_t n = ::write(fd_.Get(), line.constData(), static_cast<std::size_t>(line.size()));
    if (n == line.size()) {
        size_ += n;
        // A file deleted under the recording (its directory removed) takes every line with it.
        struct stat st {};
        if (::fstat(fd_.Get(), &st) == 0 && st.st_nlink == 0)
            return QStringLiteral("the file was deleted or its directory removed, and the %1 lines "
                                  "recorded went with it")
                .arg(lines_);
        return {};
    }
    // A short write is a full disk or a reached size limit, which the next write would report.
    QString why = SystemError(n < 0 ? errno : ENOSPC);
    if (n > 0 && ::ftruncate(fd_.Get(), size_) != 0)
        why +=
            QStringLiteral(", and the part of a line written cannot be removed (%1)").arg(SystemError(errno));
    return QStringLiteral("%1. The %2 lines recorded before are kept").arg(why).arg(lines_);
}

} // namespace quellix
