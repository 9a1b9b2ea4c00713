// Arbitrary byte batches in arbitrary splits through the receive assembly and its two-stage dispatch,
// with sequences running, on a scratch block.
#include "DeviceLink.h"

#include <cstdlib>
#include <cstring>

namespace quellix {

namespace {

class NullHost : public LinkHost {
public:
    void Pause(int) override {}
    bool WriteCommData(const std::uint8_t* data, std::uint16_t length) override {
        // Every request the link builds is a whole frame.
        if (length < 3 || data[0] != 0x01 || data[2] + 3u != length)
            std::abort();
        return true;
    }
    void SetReplyTimer(LinkTimer, bool, int) override {}
    void RestartStalenessTimer() override {}
    void SetStatus(StatusLabel, const std::string&, StatusColour) override {}
    void ShowVersion(const std::string& caption) override {
        if (caption.size() > sizeof SoftwareVersionPrefix + 255)
            std::abort();
    }
    std::string LabelText(const std::string&) override { return std::string(30, 'L'); }
    void BlockToWindow() override {}
};

// Fields no reply may change.
bool reservedUnchanged(const ConfigBlock& a, const ConfigBlock& b) {
    return a.Reserved == b.Reserved && std::memcmp(a.ReservedA, b.ReservedA, sizeof a.ReservedA) == 0 &&
           std::memcmp(a.ReservedB, b.ReservedB, sizeof a.ReservedB) == 0;
}

} // namespace

// Byte 0 picks which sequences run; each batch is a length byte followed by that many bytes.

} // namespace quellix

using namespace quellix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    ConfigBlock block;
    std::memset(&block, 0xA5, sizeof block);
    const ConfigBlock before = block;
    NullHost host;
    DeviceLink link(block, host);
    if (data[0] & 1)
        link.Button13Click();
    if (data[0] & 2)
        link.Button14Click();

    std::size_t at = 1;
    while (at < size) {
        const std::size_t length = std::min<std::size_t>(data[at], size - at - 1);
        // The copy makes any read past the batch visible to AddressSanitizer.
        const std::string batch(reinterpret_cast<const char*>(data + at + 1), length);
        link.ReceiveString(batch);
        at += 1 + length;
        if (link.RxBuffer().size() > 37 || link.ReadStep() < 0 || link.ReadStep() > 14 ||
            link.SendStep() < 0 || link.SendStep() > 13)
            std::abort();
        if (data[0] & 4)
            link.Timer4Timer();
    }
    if (!reservedUnchanged(block, before))
        std::abort();
    return 0;
}
