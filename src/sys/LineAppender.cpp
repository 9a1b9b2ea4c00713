#include "LineAppender.h"

#include "AtomicSave.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quellix {

namespace {

// Holds the file's exclusive lock for a scope. Waits for another writer's line, never longer.
class FileLock {
public:
    explicit FileLock(int fd) : fd_(fd) {
        while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~FileLock() { ::flock(fd_, LOCK_UN); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_;
};

bool EndsWithLineBreak(int fd, off_t size) {
    char last = '\n';
    return size == 0 || ::pread(fd, &last, 1, size - 1) != 1 || last == '\n';
}

// Where the file's last whole line ends, reading back from `size`; 0 when it holds none.
off_t EndOfLastLine(int fd, off_t size) {
    char block[4096];
    for (off_t end = size; end > 0;) {
        const off_t start = std::max<off_t>(end - off_t(sizeof block), 0);
        const ssize_t n = ::pread(fd, block, std::size_t(end - start), start);
        if (n <= 0)
            return size;
        for (ssize_t i = n; i > 0; --i)
            if (block[i - 1] == '\n')
                return start + i;
        end = start;
    }
    return 0;
}

} // namespace

bool LineAppender::Open(const QString& path, QString* error) {
    Close();
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    const QString notRegular = QStringLiteral("not a regular file");
    if (::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        *error = notRegular;
        return false;
    }
    UniqueFd fd(::open(name.constData(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
    if (!fd.IsValid() || ::fstat(fd.Get(), &st) != 0) {
        *error = SystemErrorText(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = notRegular;
        return false;
    }
    fd_ = std::move(fd);
    return true;
}

LineAppender::Result LineAppender::Append(const QByteArray& line, QString* reason) {
    FileLock lock(fd_.Get());
    struct stat st {};
    if (::fstat(fd_.Get(), &st) != 0) {
        *reason = SystemErrorText(errno);
        return Result::Failed;
    }
    if (st.st_nlink == 0)
        return Result::Deleted;
    QByteArray bytes = line;
    if (!EndsWithLineBreak(fd_.Get(), st.st_size)) {
        if (cutOff_ == CutOffLine::Ended) {
            bytes.prepend('\n');
        } else {
            st.st_size = EndOfLastLine(fd_.Get(), st.st_size);
            if (::ftruncate(fd_.Get(), st.st_size) != 0) {
                *reason = SystemErrorText(errno);
                return Result::Failed;
            }
        }
    }
    const ssize_t n = ::write(fd_.Get(), bytes.constData(), static_cast<std::size_t>(bytes.size()));
    if (n == bytes.size())
        return Result::Done;
    // A short write is a full disk or a reached size limit, which the next write would report.
    *reason = SystemErrorText(n < 0 ? errno : ENOSPC);
    if (n > 0 && ::ftruncate(fd_.Get(), st.st_size) != 0)
        *reason += QStringLiteral(", and the part of a line written cannot be removed (%1)")
                       .arg(SystemErrorText(errno));
    return Result::Failed;
}

} // namespace quellix
