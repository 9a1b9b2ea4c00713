#include "NotifyChannel.h"

#include <QPointer>

#include <optional>
#include <utility>

NotifyChannel::NotifyChannel(Handler handler) : handler_(std::move(handler)) {}

void NotifyChannel::Post(Notification notification) {
    bool wake = false;
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(std::move(notification));
        wake = !std::exchange(wakePending_, true);
    }
    // The queued call dies with the channel, so a wake-up never reaches a destroyed channel.
    if (wake)
        QMetaObject::invokeMethod(
            this, [this] { Drain(); }, Qt::QueuedConnection);
}

void NotifyChannel::Drain() {
    {
        const std::lock_guard lock(mutex_);
        wakePending_ = false;
    }
    // One at a time, so that a handler running a nested event loop still sees the rest in order, and a
    // handler that destroys the channel ends the loop.
    const QPointer<NotifyChannel> alive(this);
    for (;;) {
        std::optional<Notification> next;
        {
            const std::lock_guard lock(mutex_);
            if (queue_.empty())
                return;
            next.emplace(std::move(queue_.front()));
            queue_.pop_front();
        }
        handler_(*next);
        if (!alive)
            return;
    }
}
