// Arbitrary byte batches in arbitrary splits through the receive assembly and its two-stage dispatch,
// with sequences running, on a scratch block. What the link keeps waiting and where its sequences stand
// are followed through its listener events alone.
#include "DeviceLink.h"

#include <cstdlib>
#include <cstring>

namespace quellix {

namespace {

void check(bool holds) {
    if (!holds)
        std::abort();
}

class NullHost : public LinkHost {
public:
    void pause(int) override {}
    bool write(const std::uint8_t* data, std::uint16_t length) override {
        // Every request the link builds is a whole frame.
        check(length >= 3 && data[0] == 0x01 && data[2] + 3u == length);
        return true;
    }
    void setReplyTimer(LinkSequence, bool, int) override {}
    void restartStalenessTimer() override {}
    void setStatus(LinkSequence, const std::string&, StatusColour) override {}
    void showVersion(const std::string& caption) override {
        check(caption.size() <= sizeof SoftwareVersionPrefix + 255);
    }
    std::string uploadText(ItemCode, std::uint8_t) override { return std::string(30, 'L'); }
    void blockStored() override {}
};

// Mirrors the receive buffer from the events: bytes in, and out again only as one frame dispatched or
// as bytes dropped, which must be exactly what came in since.
class Follower : public LinkListener {
public:
    void BatchReceived(std::string_view batch) override { buffer.append(batch); }
    void FrameDispatched(char letter, std::string_view frame) override {
        check(frame == buffer && frame.size() >= 3 && letter == frame[1] &&
              frame.size() == 3u + static_cast<std::uint8_t>(frame[2]));
        buffer.clear();
    }
    void Dropped(DropReason reason, std::string_view bytes) override {
        if (reason == DropReason::ReplyTooShort)
            return;
        check(bytes == buffer);
        buffer.clear();
    }
    void FrameSent(std::string_view frame, int resend) override { check(frame.size() >= 3 && resend >= 0); }
    void SequenceStep(LinkSequence sequence, int step, StepOutcome outcome) override {
        const bool download = sequence == LinkSequence::Download;
        if (outcome == StepOutcome::Requested)
            check(download ? step >= 2 && step <= 14 : step >= 1 && step <= 13);
        else if (outcome == StepOutcome::Complete)
            check(step == (download ? 15 : 14));
    }

    // Between two receive events: empty, or one incomplete frame that starts with SOH and whose
    // payload is at most 35 bytes, so never more than 37 bytes.
    void checkWaiting() const {
        if (buffer.empty())
            return;
        check(buffer.size() <= 37 && static_cast<std::uint8_t>(buffer[0]) == 0x01);
        if (buffer.size() >= 3) {
            const std::size_t length = static_cast<std::uint8_t>(buffer[2]);
            check(length <= 35 && buffer.size() < length + 3);
        }
    }

    std::string buffer;
};

// Fields no reply may change.
bool reservedUnchanged(const ConfigBlock& a, const ConfigBlock& b) {
    return a.Reserved == b.Reserved && std::memcmp(a.ReservedA, b.ReservedA, sizeof a.ReservedA) == 0 &&
           std::memcmp(a.ReservedB, b.ReservedB, sizeof a.ReservedB) == 0;
}

} // namespace

} // namespace quellix

using namespace quellix;

// Byte 0 picks which sequences run and which reply timers tick after each batch; each batch is a length byte
// followed by that many bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    ConfigBlock block;
    std::memset(&block, 0xA5, sizeof block);
    const ConfigBlock before = block;
    NullHost host;
    Follower follower;
    DeviceLink link(block, host);
    link.addListener(follower);
    if (data[0] & 1)
        link.startDownload();
    if (data[0] & 2)
        link.startUpload();

    std::size_t at = 1;
    while (at < size) {
        const std::size_t length = std::min<std::size_t>(data[at], size - at - 1);
        // The copy makes any read past the batch visible to AddressSanitizer.
        const std::string batch(reinterpret_cast<const char*>(data + at + 1), length);
        link.receive(batch);
        at += 1 + length;
        follower.checkWaiting();
        if (data[0] & 4)
            link.downloadTimeout();
        if (data[0] & 8)
            link.uploadTimeout();
    }
    check(reservedUnchanged(block, before));
    return 0;
}
