// The transmit worker: takes requests in the order they were posted and carries out one at a time,
// writing each data request to the port completely as the port drains.
#pragma once
#include "EventFd.h"
#include "NotifyChannel.h"
#include "WorkerThread.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace quellix {

struct WriteRequest {
    enum class Kind : std::uint8_t {
        Data,          // write bytes
        WriteComplete, // answer with OnWriteComplete(value) once everything before it is written
        ModemStatus,   // answer with OnCommState(modem status)
        ModemFunction, // carry out ModemFunction code value
    };
    Kind kind = Kind::Data;
    std::uint16_t value = 0;
    std::vector<std::uint8_t> bytes;
};

// The requests between the owner and the worker. Closed by the worker when it ends, after which
// nothing more is taken.
class WriteRequestQueue {
public:
    bool IsValid() const { return wake_.IsValid(); }
    int CreateError() const { return wake_.Error(); }
    // Readable while requests may be waiting.
    int WakeFd() const { return wake_.Fd(); }
    bool Push(WriteRequest request);
    // Clear the wake-up before taking, so that a request pushed meanwhile wakes the worker again.
    void ClearWake() const { wake_.Clear(); }
    std::optional<WriteRequest> Take();
    void Close();

private:
    EventFd wake_;
    std::mutex mutex_;
    std::deque<WriteRequest> requests_;
    bool closed_ = false;
};

class TWriteThread {
public:
    // commFd and stop belong to the component and outlive the worker; every notification carries
    // `opening`. With toggleRts the worker raises RTS around each data request itself.
    TWriteThread(int commFd, const EventFd& stop, NotifyChannel& notify, bool toggleRts,
                 std::uint32_t opening);
    // Signals stop and waits for the thread, if it was started.
    ~TWriteThread();
    TWriteThread(const TWriteThread&) = delete;
    TWriteThread& operator=(const TWriteThread&) = delete;

    // Throws std::system_error when no thread can be created.
    void Start();
    bool WaitForExit(std::chrono::milliseconds limit) { return thread_.WaitForExit(limit); }
    // Queues a request; false once the worker has ended.
    bool Post(WriteRequest request) { return queue_.Push(std::move(request)); }

private:
    enum class Outcome { Done, Stopped, Failed };

    void Execute();
    Outcome Handle(const WriteRequest& request);
    Outcome WriteData(const std::vector<std::uint8_t>& bytes);
    Outcome WriteBuffer(const std::uint8_t* bytes, std::size_t count);
    void PostHangup();

    const int commFd_;
    const EventFd& stop_;
    NotifyChannel& notify_;
    const bool toggleRts_;
    const std::uint32_t opening_;
    WriteRequestQueue queue_;
    WorkerThread thread_;
};

} // namespace quellix
