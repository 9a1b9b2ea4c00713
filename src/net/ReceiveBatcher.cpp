#include "ReceiveBatcher.h"

#include <algorithm>
#include <utility>

namespace quellix {

std::vector<ReceiveBatcher::Batch> ReceiveBatcher::Add(const std::uint8_t* bytes, std::size_t count,
                                                       Clock::time_point now) {
    std::vector<Batch> full;
    if (count == 0)
        return full;
    while (count > 0) {
        const std::size_t take = std::min(count, limit_ - held_.size());
        held_.insert(held_.end(), bytes, bytes + take);
        bytes += take;
        count -= take;
        if (held_.size() == limit_)
            full.push_back(std::exchange(held_, {}));
    }
    last_ = now;
    return full;
}

std::optional<ReceiveBatcher::Clock::time_point> ReceiveBatcher::Deadline() const {
    if (held_.empty())
        return std::nullopt;
    return last_ + gap_;
}

ReceiveBatcher::Batch ReceiveBatcher::TakeDue(Clock::time_point now) {
    if (held_.empty() || now < last_ + gap_)
        return {};
    return std::exchange(held_, {});
}

ReceiveBatcher::Batch ReceiveBatcher::TakeAll() {
    return std::exchange(held_, {});
}

} // namespace quellix
