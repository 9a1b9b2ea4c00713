#include "TtyOpen.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace quellix {

TtyOpen OpenTtyExclusive(const char* path) {
    TtyOpen result;
    UniqueFd fd(::open(path, O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.IsValid()) {
        result.failure = TtyOpenFailure::CannotOpen;
        result.error = errno;
        return result;
    }
    if (!::isatty(fd.Get())) {
        result.failure = TtyOpenFailure::NotATty;
        result.error = errno;
        return result;
    }
    // flock holds against every program that locks, root included, and goes with the last close.
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        result.failure = TtyOpenFailure::Locked;
        result.error = errno;
        return result;
    }
    result.fd = std::move(fd);
    return result;
}

} // namespace quellix
