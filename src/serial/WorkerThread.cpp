#include "WorkerThread.h"

#include "SerialLog.h"

#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

namespace quellix {

namespace {

// Asks for a lower nice value for the calling thread only. Without CAP_SYS_NICE or a matching
// RLIMIT_NICE the system refuses, and the worker runs at normal priority. Real-time scheduling is not
// asked for even where it is allowed: measured, a real-time worker that posts a batch makes the
// scheduler wake the owner's thread on the other core, where it waits behind busy processes for a
// scheduler tick, while a normal worker hands its core to the owner's thread at once.
void RaisePriority(WorkerPriority priority) {
    const int step = priority == WorkerPriority::Highest ? 10 : 5;
    const id_t tid = static_cast<id_t>(::gettid());
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, tid);
    if (errno != 0)
        return;
    if (::setpriority(PRIO_PROCESS, tid, current - step) != 0)
        qCDebug(lcSerial) << "worker keeps normal priority, errno" << errno;
}

} // namespace

void WorkerThread::Start(std::function<void()> body, WorkerPriority priority) {
    {
        const std::lock_guard lock(mutex_);
        running_ = true;
    }
    try {
        thread_ = std::thread([this, body = std::move(body), priority] {
            RaisePriority(priority);
            body();
            const std::lock_guard lock(mutex_);
            running_ = false;
            ended_.notify_all();
        });
    } catch (...) {
        const std::lock_guard lock(mutex_);
        running_ = false;
        throw;
    }
}

bool WorkerThread::WaitForExit(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return ended_.wait_for(lock, limit, [this] { return !running_; });
}

void WorkerThread::Join() {
    if (thread_.joinable())
        thread_.join();
}

} // namespace quellix
