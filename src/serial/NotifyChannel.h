// The notification channel from the workers to the owner's thread: notifications are queued in posting
// order and handed to a handler on the thread that created the channel, whenever its event loop runs.
#pragma once
#include <QObject>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace quellix {

struct Notification {
    enum class Kind : std::uint8_t { Data, Hangup, WriteComplete, CommState };
    Kind kind = Kind::Data;
    std::uint16_t value = 0;
    // The received batch of a Data notification; it belongs to the owner once posted.
    std::vector<std::uint8_t> bytes;
    // The opening of the port that the posting worker belongs to, so that the owner can tell an
    // earlier opening's notifications from a later one's.
    std::uint32_t opening = 0;
};

// The payloads travel through a queue of our own under a std::mutex; Qt only wakes the owner's thread
// with an empty queued call. Qt's own locking is invisible to ThreadSanitizer, so handing payloads
// through Qt's event queue would show as races that are not there.
class NotifyChannel : public QObject {
public:
    using Handler = std::function<void(const Notification&)>;
    explicit NotifyChannel(Handler handler);

    // Any thread. Notifications still queued when the channel is destroyed are dropped.
    void Post(Notification notification);

    // How long one turn of the owner's event loop hands out notifications before it lets other events in.
    static constexpr std::chrono::milliseconds DrainSlice{20};

private:
    void WakeOwner();
    void Drain();

    Handler handler_;
    std::mutex mutex_;
    std::deque<Notification> queue_;
    bool wakePending_ = false;
};

} // namespace quellix
