// The network receive path in arbitrary bytes and chunk splits: through the Telnet / RFC 2217 decoder
// (or none, as for a raw port) and into the receive batches, with the clock moved on between chunks.
// Every batch holds 1 to 100 bytes, as a read of the tty does, and every data byte comes out once.
#include "ReceiveBatcher.h"
#include "Rfc2217.h"

#include <cstdlib>

namespace {

void check(bool holds) {
    if (!holds)
        std::abort();
}

constexpr std::size_t Limit = 100;

} // namespace

using namespace quellix;

// Byte 0: bit 0 takes the bytes through the RFC 2217 session, else they pass raw. Then chunks, each a
// length byte, a byte of milliseconds the clock moves on before it, and that many bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const bool telnet = data[0] & 1;
    Rfc2217Session session;
    session.Start();
    ReceiveBatcher batcher(std::chrono::milliseconds(50), Limit);
    ReceiveBatcher::Clock::time_point now{};
    std::size_t decoded = 0, batched = 0;
    auto take = [&](const ReceiveBatcher::Batch& batch, bool full) {
        check(batch.size() <= Limit && (full ? batch.size() == Limit : true));
        batched += batch.size();
    };
    std::size_t at = 1;
    while (at + 1 < size) {
        const std::size_t length = std::min<std::size_t>(data[at], size - at - 2);
        now += std::chrono::milliseconds(data[at + 1]);
        // The copy makes any read past the chunk visible to AddressSanitizer.
        const NetBytes chunk(data + at + 2, data + at + 2 + length);
        at += 2 + length;
        take(batcher.TakeDue(now), false);
        NetBytes bytes, send;
        if (telnet)
            session.Receive(chunk.data(), chunk.size(), bytes, send);
        else
            bytes = chunk;
        check(bytes.size() <= chunk.size());
        decoded += bytes.size();
        for (const auto& full : batcher.Add(bytes.data(), bytes.size(), now))
            take(full, true);
    }
    take(batcher.TakeAll(), false);
    check(batched == decoded);
    session.Settled();
    session.Warnings();
    return 0;
}
