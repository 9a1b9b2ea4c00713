#include "ReadThread.h"

#include "CommTrace.h"
#include "PortDevice.h"

#include <array>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace quellix {

namespace {

using Clock = std::chrono::steady_clock;

timespec ToTimespec(Clock::duration remaining) {
    if (remaining < Clock::duration::zero())
        remaining = Clock::duration::zero();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(remaining);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(remaining - seconds);
    return timespec{static_cast<time_t>(seconds.count()), static_cast<long>(nanoseconds.count())};
}

} // namespace

TReadThread::TReadThread(int commFd, const EventFd& stop, NotifyChannel& notify,
                         std::chrono::milliseconds gap, std::uint32_t opening)
    : commFd_(commFd), stop_(stop), notify_(notify), gap_(gap), opening_(opening) {}

TReadThread::~TReadThread() {
    // A worker that never started leaves the stop signal alone: the other worker may be running.
    if (thread_.IsJoinable()) {
        stop_.Signal();
        thread_.Join();
    }
}

void TReadThread::Start() {
    thread_.Start([this] { Execute(); }, WorkerPriority::Highest);
}

void TReadThread::PostBatch(const std::uint8_t* bytes, std::size_t count) {
    if (count == 0)
        return;
    CommTrace("Got something from Comm port!!!");
    Notification batch{
        Notification::Kind::Data, static_cast<std::uint16_t>(count), {bytes, bytes + count}, opening_};
    notify_.Post(std::move(batch));
}

void TReadThread::PostHangup() {
    notify_.Post(Notification{Notification::Kind::Hangup, 0, {}, opening_});
}

// Waits without limit for the first byte of a batch; after it, each further byte restarts the receive
// gap on the monotonic clock. A batch ends when it holds BatchLimit bytes or when the gap passes.
// Bytes that arrive while the worker is late are still counted as in time: a burst is never cut only
// because the worker was slow to look.
void TReadThread::Execute() {
    std::array<std::uint8_t, BatchLimit> buffer{};
    std::size_t count = 0;
    Clock::time_point deadline;
    bool failed = false;
    for (;;) {
        pollfd fds[2] = {{stop_.Fd(), POLLIN, 0}, {commFd_, POLLIN, 0}};
        const timespec timeout = ToTimespec(deadline - Clock::now());
        const int ready = ::ppoll(fds, 2, count > 0 ? &timeout : nullptr, nullptr);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            CommErrorTrace(errno, "Read WAIT_FAILED: ");
            failed = true;
            break;
        }
        if (fds[0].revents != 0) {
            CommTrace("Time to Exit");
            break;
        }
        if (ready == 0) {
            PostBatch(buffer.data(), count);
            count = 0;
            continue;
        }
        const short events = fds[1].revents;
        if (events & POLLNVAL) {
            CommTrace("ERROR_INVALID_HANDLE, Likely that the Service Provider has closed the port.");
            failed = true;
            break;
        }
        const ssize_t got = ::read(commFd_, buffer.data() + count, BatchLimit - count);
        if (got > 0) {
            count += static_cast<std::size_t>(got);
            deadline = Clock::now() + gap_;
            if (count == BatchLimit) {
                PostBatch(buffer.data(), count);
                count = 0;
            }
            continue;
        }
        // EIO, ENXIO or ENODEV: the device is gone; any other error ends the worker as well.
        if (got < 0 && errno != EAGAIN && errno != EINTR) {
            CommErrorTrace(errno, "Unexpected ReadFile error: ");
            failed = true;
            break;
        }
        // In raw mode a read of 0 bytes only means nothing is there; hangup and error flags from poll
        // are what tell that the device is gone for good.
        if (events & (POLLHUP | POLLERR)) {
            CommTrace("Comm port hung up");
            failed = true;
            break;
        }
        // Readable but empty: give the driver a moment instead of spinning on it.
        pollfd stop{stop_.Fd(), POLLIN, 0};
        ::poll(&stop, 1, 1);
    }
    if (failed) {
        // What arrived before the failure is still delivered, ahead of the hangup.
        PostBatch(buffer.data(), count);
        PostHangup();
    }
    CommTrace("Read thread shutting down");
    PurgeInput(commFd_);
}

} // namespace quellix
