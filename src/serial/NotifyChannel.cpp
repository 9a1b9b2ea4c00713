#include "NotifyChannel.h"

#include <QPointer>

#include <chrono>
#include <optional>
#include <utility>

namespace quellix {

NotifyChannel::NotifyChannel(Handler handler) : handler_(std::move(handler)) {}

void NotifyChannel::Post(Notification notification) {
    bool wake = false;
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(std::move(notification));
        wake = !std::exchange(wakePending_, true);
    }
    if (wake)
        WakeOwner();
}

void NotifyChannel::WakeOwner() {
    // The queued call dies with the channel, so a wake-up never reaches a destroyed channel.
    QMetaObject::invokeMethod(
        this, [this] { Drain(); }, Qt::QueuedConnection);
}

void NotifyChannel::Drain() {
    {
        const std::lock_guard lock(mutex_);
        wakePending_ = false;
    }
    // One at a time, so that a handler running a nested event loop still sees the rest in order, and a
    // handler that destroys the channel ends the loop. A worker posting faster than the handlers keep
    // up must not starve the owner's timers and input: after a slice the rest waits for the next turn
    // of the event loop, still in order.
    const QPointer<NotifyChannel> alive(this);
    const auto sliceEnd = std::chrono::steady_clock::now() + DrainSlice;
    for (;;) {
        std::optional<Notification> next;
        {
            const std::lock_guard lock(mutex_);
            if (queue_.empty())
                return;
            if (std::chrono::steady_clock::now() >= sliceEnd) {
                if (std::exchange(wakePending_, true))
                    return; // a Post meanwhile has already woken the owner
                break;
            }
            next.emplace(std::move(queue_.front()));
            queue_.pop_front();
        }
        handler_(*next);
        if (!alive)
            return;
    }
    WakeOwner();
}

} // namespace quellix
