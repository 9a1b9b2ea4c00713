#include "ReceiveBatcher.h"
#include "Rfc2217.h"

#include <gtest/gtest.h>

#include <string>

namespace quellix {

namespace {

using B = NetBytes;

B Join(std::initializer_list<B> parts) {
    B out;
    for (const B& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A COM-PORT-OPTION subnegotiation as it goes on the wire.
B Sub(B command) {
    return Join({{0xFF, 0xFA, 0x2C}, command, {0xFF, 0xF0}});
}

struct Fed {
    B data, send;
};

Fed Feed(Rfc2217Session& session, const std::vector<B>& chunks) {
    Fed fed;
    for (const B& chunk : chunks)
        session.Receive(chunk.data(), chunk.size(), fed.data, fed.send);
    return fed;
}

} // namespace

// Commands and escapes cut anywhere by the reads; what the server offers that this client does not
// want is refused once, and nothing is answered twice.
TEST(Telnet, DecodesAcrossReadsAndRefusesUnknownOptions) {
    const struct {
        const char* what;
        std::vector<B> chunks;
        B data, send;
    } cases[] = {
        {"doubled FF is one data byte", {{0x01, 0xFF, 0xFF, 0x02}}, {0x01, 0xFF, 0x02}, {}},
        {"doubled FF split across reads", {{0x01, 0xFF}, {0xFF, 0x02}}, {0x01, 0xFF, 0x02}, {}},
        {"notification split across reads, ignored",
         {{0x41, 0xFF, 0xFA, 0x2C}, {0x6B, 0x00, 0xFF}, {0xF0, 0x42}},
         {0x41, 0x42},
         {}},
        {"escaped FF inside a split subnegotiation",
         {{0xFF, 0xFA, 0x2C, 0x6A, 0xFF}, {0xFF, 0xFF, 0xF0, 0x43}},
         {0x43},
         {}},
        {"unknown options refused",
         {{0xFF, 0xFB, 0x01, 0xFF, 0xFD, 0x18}, {0xFF, 0xFB, 0xC8}},
         {},
         {0xFF, 0xFE, 0x01, 0xFF, 0xFC, 0x18, 0xFF, 0xFE, 0xC8}},
        {"options asked for are taken without an answer, twice too",
         {{0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x00}, {0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x03}},
         {},
         {}},
        {"an option refused after it was agreed is let go",
         {{0xFF, 0xFB, 0x03}, {0xFF, 0xFC, 0x03}},
         {},
         {0xFF, 0xFE, 0x03}},
        {"subnegotiation broken off by a command",
         {{0xFF, 0xFA, 0x2C, 0x6B, 0xFF, 0xFB, 0x01, 0x44}},
         {0x44},
         {0xFF, 0xFE, 0x01}},
        {"NOP and go-ahead are no data", {{0xFF, 0xF1, 0x45, 0xFF, 0xF9}}, {0x45}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rfc2217Session session;
        EXPECT_EQ(session.Start(), (B{0xFF, 0xFB, 0x00, 0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x03, 0xFF, 0xFD, 0x03,
                                      0xFF, 0xFB, 0x2C}));
        const Fed fed = Feed(session, c.chunks);
        EXPECT_EQ(fed.data, c.data);
        EXPECT_EQ(fed.send, c.send);
    }
}

TEST(Rfc2217, SetsTheUnitsLineOnceTheServerTakesTheOption) {
    Rfc2217Session session;
    session.Start();
    // ser2net 4.3 offers the option itself, in its first bytes.
    const Fed offer = Feed(session, {{0xFF, 0xFB, 0x03, 0xFF, 0xFD, 0x2C}});
    EXPECT_EQ(offer.send, Join({Sub({1, 0x00, 0x00, 0x25, 0x80}), Sub({2, 8}), Sub({3, 1}), Sub({4, 1}),
                                Sub({5, 1}), Sub({5, 8}), Sub({5, 12}), Sub({12, 3})}));
    EXPECT_FALSE(session.Settled());
    // Its answers as it sends them: the purge first, never DTR and RTS, a modem-state note between.
    Feed(session, {Join({Sub({112, 3}), Sub({107, 0x30}), Sub({101, 0x00, 0x00, 0x25, 0x80}), Sub({102, 8})}),
                   Join({Sub({103, 1}), Sub({104, 1})})});
    EXPECT_FALSE(session.Settled());
    Feed(session, {Sub({105, 1})});
    EXPECT_TRUE(session.Settled());
    EXPECT_EQ(session.Warnings(), std::vector<std::string>{"the server did not confirm DTR on, RTS off"});
}

TEST(Rfc2217, WhatTheServerRefusesIsAWarning) {
    Rfc2217Session refused;
    refused.Start();
    Feed(refused, {{0xFF, 0xFE, 0x2C, 0xFF, 0xFC, 0x00}});
    EXPECT_TRUE(refused.Settled());
    EXPECT_EQ(refused.Warnings().size(), 2u);
    EXPECT_NE(refused.Warnings().back().find("refused the COM-PORT-OPTION"), std::string::npos);

    Rfc2217Session otherRate;
    otherRate.Start();
    Feed(otherRate, {{0xFF, 0xFD, 0x2C}, Sub({101, 0x00, 0x00, 0x12, 0xC0})});
    EXPECT_EQ(otherRate.Warnings().front(), "the server did not take 9600 bit/s (it answered 4800)");
}

// The batches the tty's receive worker makes: the gap ends a batch, the read size cuts a burst.
TEST(ReceiveBatcher, CutsAsTheTtyDoes) {
    using namespace std::chrono_literals;
    using Clock = ReceiveBatcher::Clock;
    const struct {
        const char* what;
        std::vector<std::pair<int, std::size_t>> arrivals; // ms after the start, bytes
        std::vector<std::size_t> batches;
    } cases[] = {
        {"a burst of 250", {{0, 250}}, {100, 100, 50}},
        {"pieces closer than the gap", {{0, 5}, {30, 5}, {79, 9}}, {19}},
        {"pieces further apart", {{0, 5}, {50, 5}, {200, 1}}, {5, 5, 1}},
        {"the limit, then the rest", {{0, 60}, {10, 60}}, {100, 20}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ReceiveBatcher batcher(50ms, 100);
        std::vector<std::size_t> sizes;
        const Clock::time_point start{};
        const B bytes(300, 0xAA);
        for (const auto& [ms, count] : c.arrivals) {
            const auto now = start + std::chrono::milliseconds(ms);
            if (const auto due = batcher.TakeDue(now); !due.empty())
                sizes.push_back(due.size());
            for (const auto& full : batcher.Add(bytes.data(), count, now))
                sizes.push_back(full.size());
        }
        ASSERT_TRUE(batcher.Deadline());
        EXPECT_TRUE(batcher.TakeDue(*batcher.Deadline() - 1ms).empty());
        sizes.push_back(batcher.TakeDue(*batcher.Deadline()).size());
        EXPECT_EQ(sizes, c.batches);
    }
}

} // namespace quellix
