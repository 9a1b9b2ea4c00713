// The thread of a worker: runs a body at a raised priority where the system allows it, tells when the
// body has ended, and is always joined before it is destroyed.
#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace quellix {

enum class WorkerPriority { AboveNormal, Highest };

class WorkerThread {
public:
    WorkerThread() = default;
    // Joins a running thread: whoever owns the worker has told its body to end before.
    ~WorkerThread() { Join(); }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Throws std::system_error when no thread can be created.
    void Start(std::function<void()> body, WorkerPriority priority);
    // True when the body has ended within limit (or the thread never started).
    bool WaitForExit(std::chrono::milliseconds limit);
    void Join();
    // True from a successful Start until Join.
    bool IsJoinable() const { return thread_.joinable(); }

private:
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable ended_;
    bool running_ = false;
};

} // namespace quellix
