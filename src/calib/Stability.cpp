#include "Stability.h"

#include "ConfigBlock.h"

#include <algorithm>

namespace quellix {

void StabilityDetector::Extremes::Reset(std::size_t capacity) {
    indices_.assign(capacity, 0);
    values_.assign(capacity, 0);
    Clear();
}

template <typename Keeps>
void StabilityDetector::Extremes::Push(std::int64_t index, std::int16_t value, Keeps keeps) {
    // A newer reading at least as extreme makes the older ones useless: they leave the window first.
    while (size_ > 0 && !keeps(values_[At(size_ - 1)], value))
        --size_;
    const std::size_t slot = At(size_);
    indices_[slot] = index;
    values_[slot] = value;
    ++size_;
}

void StabilityDetector::Extremes::Expire(std::int64_t oldestKept) {
    while (size_ > 0 && indices_[head_] < oldestKept) {
        head_ = (head_ + 1) % indices_.size();
        --size_;
    }
}

StabilityDetector::StabilityDetector(const StabilitySettings& settings) : settings_(settings) {
    settings_.readings = std::clamp(settings_.readings, 2, StabilitySettings::MaxReadings);
    settings_.limit = std::max(settings_.limit, 0);
    settings_.settlingMs = std::max<std::int64_t>(settings_.settlingMs, 0);
    settings_.maxGapMs = std::max<std::int64_t>(settings_.maxGapMs, 1);
    const auto n = static_cast<std::size_t>(settings_.readings);
    window_.assign(n, 0);
    // One more slot than the window: a reading is pushed before the oldest one expires.
    highest_.Reset(n + 1);
    lowest_.Reset(n + 1);
    state_.needed = settings_.readings;
    Restart(0);
}

void StabilityDetector::Restart(std::int64_t nowMs) {
    settledAtMs_ = nowMs + settings_.settlingMs;
    haveReading_ = false;
    missing_ = false;
    ClearWindow();
    state_ = StabilityState{};
    state_.needed = settings_.readings;
    state_.settlingLeftMs = settings_.settlingMs;
    state_.phase = PhaseAt(nowMs);
}

void StabilityDetector::SetDisabled(bool disabled) {
    disabled_ = disabled;
    state_.phase = PhaseAt(lastAtMs_);
}

void StabilityDetector::ClearWindow() {
    count_ = 0;
    sum_ = 0;
    highest_.Clear();
    lowest_.Clear();
    state_.counted = 0;
    state_.spread = -1;
    state_.mean = 0;
}

const StabilityState& StabilityDetector::Add(std::int16_t value, std::int64_t atMs) {
    if (haveReading_ && atMs - lastAtMs_ > settings_.maxGapMs)
        ClearWindow();
    haveReading_ = true;
    lastAtMs_ = atMs;
    state_.last = value;
    missing_ = value == NoValue;
    if (missing_) {
        ClearWindow();
    } else {
        const std::int64_t n = settings_.readings;
        const auto slot = static_cast<std::size_t>(count_ % n);
        if (count_ >= n)
            sum_ -= window_[slot];
        window_[slot] = value;
        sum_ += value;
        highest_.Push(count_, value, [](std::int16_t older, std::int16_t newer) { return older > newer; });
        lowest_.Push(count_, value, [](std::int16_t older, std::int16_t newer) { return older < newer; });
        ++count_;
        highest_.Expire(count_ - n);
        lowest_.Expire(count_ - n);
        const std::int64_t inWindow = std::min(count_, n);
        state_.spread = std::int32_t(highest_.Front()) - lowest_.Front();
        state_.mean = double(sum_) / double(inWindow);
        // Readings of the settling time stay in the live spread but do not count.
        if (atMs >= settledAtMs_)
            state_.counted = std::min(state_.counted + 1, settings_.readings);
    }
    state_.settlingLeftMs = std::max<std::int64_t>(settledAtMs_ - atMs, 0);
    state_.phase = PhaseAt(atMs);
    return state_;
}

StabilityState StabilityDetector::At(std::int64_t nowMs) const {
    StabilityState state = state_;
    state.settlingLeftMs = std::max<std::int64_t>(settledAtMs_ - nowMs, 0);
    state.phase = PhaseAt(nowMs);
    return state;
}

StabilityPhase StabilityDetector::PhaseAt(std::int64_t nowMs) const {
    if (disabled_)
        return StabilityPhase::Disabled;
    if (missing_ || (haveReading_ && nowMs - lastAtMs_ > settings_.maxGapMs))
        return StabilityPhase::Stale;
    if (nowMs < settledAtMs_)
        return StabilityPhase::Settling;
    if (state_.counted < settings_.readings)
        return StabilityPhase::Collecting;
    return state_.spread <= settings_.limit ? StabilityPhase::Stable : StabilityPhase::Unsteady;
}

} // namespace quellix
