// Received bytes into reply frames, by the link's rules: a frame is recognised by its length byte
// alone; more than one frame or trailing bytes in the buffer, a waiting payload over 35 bytes, or
// waiting bytes that do not start with 0x01 are dropped whole. The link and the unit probe share it.
#pragma once

#include "Frames.h"
#include "LinkListener.h"

#include <string>
#include <string_view>
#include <utility>

namespace quellix {

class FrameAssembler {
public:
    // Appends a batch as the port delivered it. Calls onFrame(std::string_view) with a complete frame
    // (the buffer is empty again by then) or onDrop(DropReason, std::string_view) with the bytes dropped.
    template <class OnFrame, class OnDrop>
    void Feed(std::string_view batch, OnFrame&& onFrame, OnDrop&& onDrop);

    bool Empty() const { return buffer_.empty(); }

private:
    template <class OnDrop> void drop(DropReason reason, OnDrop& onDrop) {
        onDrop(reason, std::string_view(buffer_));
        buffer_.clear();
    }

    std::string buffer_;
};

template <class OnFrame, class OnDrop>
void FrameAssembler::Feed(std::string_view batch, OnFrame&& onFrame, OnDrop&& onDrop) {
    buffer_.append(batch);
    if (buffer_.size() >= FrameHeaderSize) {
        // The first byte is not examined here.
        const std::size_t frameSize = FrameHeaderSize + static_cast<std::uint8_t>(buffer_[2]);
        if (buffer_.size() == frameSize) {
            // Taken out first, so the buffer is empty while the frame is handled.
            const std::string frame = std::exchange(buffer_, std::string());
            onFrame(std::string_view(frame));
        } else if (buffer_.size() > frameSize) {
            drop(DropReason::ExtraBytes, onDrop);
        } else if (frameSize - FrameHeaderSize > MaxWaitingPayload) {
            drop(DropReason::WaitingTooLong, onDrop);
        }
    }
    if (!buffer_.empty() && static_cast<std::uint8_t>(buffer_[0]) != Soh)
        drop(DropReason::NoStartByte, onDrop);
}

} // namespace quellix
