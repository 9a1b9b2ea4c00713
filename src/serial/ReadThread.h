// The receive worker: gathers received bytes into batches of at most 100, each ended by the receive gap
// after its last byte, and posts every batch to the owner's thread in arrival order.
#pragma once
#include "EventFd.h"
#include "NotifyChannel.h"
#include "WorkerThread.h"

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace quellix {

class TReadThread {
public:
    static constexpr std::size_t BatchLimit = 100;

    // commFd and stop belong to the component and outlive the worker; every notification carries
    // `opening`.
    TReadThread(int commFd, const EventFd& stop, NotifyChannel& notify, std::chrono::milliseconds gap,
                std::uint32_t opening);
    // Signals stop and waits for the thread, if it was started.
    ~TReadThread();
    TReadThread(const TReadThread&) = delete;
    TReadThread& operator=(const TReadThread&) = delete;

    // Throws std::system_error when no thread can be created.
    void Start();
    bool WaitForExit(std::chrono::milliseconds limit) { return thread_.WaitForExit(limit); }

private:
    void Execute();
    void PostBatch(const std::uint8_t* bytes, std::size_t count);
    void PostHangup();

    const int commFd_;
    const EventFd& stop_;
    NotifyChannel& notify_;
    const std::chrono::milliseconds gap_;
    const std::uint32_t opening_;
    WorkerThread thread_;
};

} // namespace quellix
