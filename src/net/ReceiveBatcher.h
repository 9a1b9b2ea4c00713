// Received bytes cut into the batches the serial line's receive worker makes: a batch ends when the
// receive gap passes without a further byte, or when it holds the read size. How a network cut the
// bytes into pieces on the way then makes no difference to the link. Plain C++; the caller brings the
// clock and the timer.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace quellix {

class ReceiveBatcher {
public:
    using Clock = std::chrono::steady_clock;
    using Batch = std::vector<std::uint8_t>;

    ReceiveBatcher(std::chrono::milliseconds gap, std::size_t limit) : gap_(gap), limit_(limit) {}

    // Adds bytes that arrived at `now`; returns the batches they filled up to the limit.
    std::vector<Batch> Add(const std::uint8_t* bytes, std::size_t count, Clock::time_point now);
    // When the batch held ends unless a byte comes before; nothing while none is held.
    std::optional<Clock::time_point> Deadline() const;
    // The batch held, once its gap has passed at `now`; empty before.
    Batch TakeDue(Clock::time_point now);
    // The batch held whatever the time, for a connection that has ended.
    Batch TakeAll();

private:
    std::chrono::milliseconds gap_;
    std::size_t limit_;
    Batch held_;
    Clock::time_point last_{};
};

} // namespace quellix
