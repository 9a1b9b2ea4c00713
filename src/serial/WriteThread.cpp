#include "WriteThread.h"

#include "CommTrace.h"
#include "PortDevice.h"

#include <cerrno>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quellix {

bool WriteRequestQueue::Push(WriteRequest request) {
    {
        const std::lock_guard lock(mutex_);
        if (closed_)
            return false;
        requests_.push_back(std::move(request));
    }
    wake_.Signal();
    return true;
}

std::optional<WriteRequest> WriteRequestQueue::Take() {
    const std::lock_guard lock(mutex_);
    if (requests_.empty())
        return std::nullopt;
    WriteRequest request = std::move(requests_.front());
    requests_.pop_front();
    return request;
}

void WriteRequestQueue::Close() {
    const std::lock_guard lock(mutex_);
    closed_ = true;
    requests_.clear();
}

TWriteThread::TWriteThread(int commFd, const EventFd& stop, NotifyChannel& notify, bool toggleRts,
                           std::uint32_t opening)
    : commFd_(commFd), stop_(stop), notify_(notify), toggleRts_(toggleRts), opening_(opening) {}

TWriteThread::~TWriteThread() {
    // A worker that never started leaves the stop signal alone: the other worker may be running.
    if (thread_.IsJoinable()) {
        stop_.Signal();
        thread_.Join();
    }
}

void TWriteThread::Start() {
    thread_.Start([this] { Execute(); }, WorkerPriority::AboveNormal);
}

void TWriteThread::PostHangup() {
    notify_.Post(Notification{Notification::Kind::Hangup, 0, {}, opening_});
}

void TWriteThread::Execute() {
    bool failed = false;
    if (!queue_.IsValid()) {
        CommErrorTrace(queue_.CreateError(), "Unable to CreateEvent: ");
        failed = true;
    }
    while (!failed) {
        pollfd fds[2] = {{stop_.Fd(), POLLIN, 0}, {queue_.WakeFd(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            CommErrorTrace(errno, "Write WAIT_FAILED: ");
            failed = true;
            break;
        }
        if (fds[0].revents != 0)
            break;
        queue_.ClearWake();
        Outcome outcome = Outcome::Done;
        while (outcome == Outcome::Done) {
            std::optional<WriteRequest> request = queue_.Take();
            if (!request)
                break;
            // A stop wins over requests still queued: they are dropped unsent.
            outcome = stop_.IsSignalled() ? Outcome::Stopped : Handle(*request);
        }
        if (outcome == Outcome::Stopped)
            break;
        failed = outcome == Outcome::Failed;
    }
    queue_.Close();
    if (failed)
        PostHangup();
    CommTrace("Write thread shutting down");
    PurgeOutput(commFd_);
}

TWriteThread::Outcome TWriteThread::Handle(const WriteRequest& request) {
    switch (request.kind) {
    case WriteRequest::Kind::Data:
        CommTrace("Writing to comm port");
        return WriteData(request.bytes);
    case WriteRequest::Kind::WriteComplete:
        notify_.Post(Notification{Notification::Kind::WriteComplete, request.value, {}, opening_});
        return Outcome::Done;
    case WriteRequest::Kind::ModemStatus:
        notify_.Post(Notification{Notification::Kind::CommState, ReadModemStatus(commFd_), {}, opening_});
        return Outcome::Done;
    case WriteRequest::Kind::ModemFunction:
        if (!ApplyModemFunction(commFd_, request.value))
            CommTrace("Unexpected message posted to Write thread: " + std::to_string(request.value));
        return Outcome::Done;
    }
    return Outcome::Done;
}

TWriteThread::Outcome TWriteThread::WriteData(const std::vector<std::uint8_t>& bytes) {
    if (!toggleRts_ || bytes.empty())
        return WriteBuffer(bytes.data(), bytes.size());
    SetModemLine(commFd_, TIOCM_RTS, true);
    const Outcome outcome = WriteBuffer(bytes.data(), bytes.size());
    if (outcome == Outcome::Done)
        DrainOutput(commFd_);
    SetModemLine(commFd_, TIOCM_RTS, false);
    return outcome;
}

// The port is non-blocking: a write may take only part of the bytes, or none (EAGAIN). The rest goes
// out as the port drains, waiting for room and for the stop signal together.
TWriteThread::Outcome TWriteThread::WriteBuffer(const std::uint8_t* bytes, std::size_t count) {
    std::size_t offset = 0;
    bool stalled = false;
    while (offset < count) {
        const ssize_t written = ::write(commFd_, bytes + offset, count - offset);
        if (written > 0) {
            offset += static_cast<std::size_t>(written);
            stalled = false;
            continue;
        }
        if (written < 0 && errno == EBADF) {
            CommTrace("ERROR_INVALID_HANDLE, Likely that the Service Provider has closed the port.");
            return Outcome::Failed;
        }
        if (written < 0 && errno != EAGAIN && errno != EINTR) {
            CommErrorTrace(errno, "Error to writing to CommFile");
            CommTrace("Closing TAPI");
            return Outcome::Failed;
        }
        // A driver that reports room but takes nothing is given a moment instead of being spun on.
        pollfd fds[2] = {{stop_.Fd(), POLLIN, 0}, {commFd_, static_cast<short>(stalled ? 0 : POLLOUT), 0}};
        const int ready = ::poll(fds, 2, stalled ? 1 : -1);
        if (ready < 0 && errno != EINTR) {
            CommErrorTrace(errno, "Write WAIT_FAILED: ");
            return Outcome::Failed;
        }
        if (fds[0].revents != 0)
            return Outcome::Stopped;
        if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            CommTrace("Error writing to CommFile while waiting");
            CommTrace("Closing TAPI");
            return Outcome::Failed;
        }
        stalled = ready > 0 && (fds[1].revents & POLLOUT);
    }
    return Outcome::Done;
}

} // namespace quellix
