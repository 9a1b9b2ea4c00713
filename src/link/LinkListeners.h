// The listeners that follow a link: each added once, told in the order added. A listener may add or
// remove listeners, itself included, while an event is being told.
#pragma once

#include "LinkListener.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace quellix {

class LinkListeners {
public:
    // Adding one twice counts once.
    void add(LinkListener& listener) {
        if (std::find(listeners_.begin(), listeners_.end(), &listener) == listeners_.end())
            listeners_.push_back(&listener);
    }
    void remove(LinkListener& listener) {
        const auto it = std::find(listeners_.begin(), listeners_.end(), &listener);
        if (it == listeners_.end())
            return;
        // While an event is being told, the loop still walks the list: leave a hole it skips.
        if (notifying_ > 0)
            *it = nullptr;
        else
            listeners_.erase(it);
    }
    bool empty() const { return listeners_.empty(); }

    // Calls `event` with each listener present when the event began; one removed meanwhile is skipped.
    template <class Event> void notify(const Event& event) {
        if (listeners_.empty())
            return;
        struct Depth {
            explicit Depth(LinkListeners& list) : list(list) { ++list.notifying_; }
            ~Depth() {
                if (--list.notifying_ == 0)
                    std::erase(list.listeners_, nullptr);
            }
            LinkListeners& list;
        } depth(*this);
        const std::size_t count = listeners_.size();
        for (std::size_t i = 0; i < count; ++i)
            if (LinkListener* listener = listeners_[i])
                event(*listener);
    }

private:
    std::vector<LinkListener*> listeners_;
    int notifying_ = 0;
};

} // namespace quellix
