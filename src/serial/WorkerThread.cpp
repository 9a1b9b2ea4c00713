#include "WorkerThread.h"

#include "SerialLog.h"

#include <cerrno>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// A low real-time priority lets a worker run as soon as its byte, its timer or its request is there,
// instead of waiting for busy processes' time slices. Where real-time scheduling is not allowed without
// privileges (RLIMIT_RTPRIO, CAP_SYS_NICE), a lower nice value is asked for; where that is refused too,
// the worker runs at normal priority. The workers never spin, so neither can starve the machine.
void RaisePriority(WorkerPriority priority) {
    const bool highest = priority == WorkerPriority::Highest;
    sched_param param{};
    param.sched_priority = ::sched_get_priority_min(SCHED_FIFO) + (highest ? 1 : 0);
    if (::pthread_setschedparam(::pthread_self(), SCHED_FIFO | SCHED_RESET_ON_FORK, &param) == 0)
        return;
    const id_t tid = static_cast<id_t>(::gettid());
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, tid);
    if (errno != 0)
        return;
    if (::setpriority(PRIO_PROCESS, tid, current - (highest ? 10 : 5)) != 0)
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
