// Another program's hold on a serial device, as the serial component takes it: an exclusive flock.
#pragma once

#include <QFile>
#include <QString>

#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <unistd.h>

namespace quellix {

// Holds the lock for its lifetime; throws when the device cannot be held.
class DeviceLockHolder {
public:
    explicit DeviceLockHolder(const QString& path)
        : fd_(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        if (fd_ < 0 || ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            if (fd_ >= 0)
                ::close(fd_);
            throw std::runtime_error("cannot hold the device");
        }
    }
    ~DeviceLockHolder() { ::close(fd_); }
    DeviceLockHolder(const DeviceLockHolder&) = delete;
    DeviceLockHolder& operator=(const DeviceLockHolder&) = delete;

private:
    int fd_;
};

// Whether another open of path can take the exclusive lock now.
inline bool CanLock(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return locked;
}

} // namespace quellix
