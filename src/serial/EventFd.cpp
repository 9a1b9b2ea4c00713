#include "EventFd.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace quellix {

EventFd::EventFd() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (!fd_.IsValid())
        error_ = errno;
}

void EventFd::Signal() const {
    const std::uint64_t one = 1;
    // Only fails when the counter is near overflow, which leaves it signalled anyway.
    while (::write(fd_.Get(), &one, sizeof one) < 0 && errno == EINTR) {
    }
}

bool EventFd::IsSignalled() const {
    pollfd fd{fd_.Get(), POLLIN, 0};
    return ::poll(&fd, 1, 0) > 0 && (fd.revents & POLLIN);
}

void EventFd::Clear() const {
    std::uint64_t value = 0;
    while (::read(fd_.Get(), &value, sizeof value) < 0 && errno == EINTR) {
    }
}

} // namespace quellix
