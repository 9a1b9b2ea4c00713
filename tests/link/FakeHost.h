// A window stand-in for the link tests: records every call in order, with frames as hex, and answers
// label texts from a map. Beside it a listener that records the link's events and, from them alone,
// follows the receive buffer and the two sequences' steps.
#pragma once

#include "DeviceLink.h"
#include "HexBytes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace quellix {

inline FrameBytes Hex(std::string_view hex) {
    const std::string bytes = HexBytes(hex);
    return FrameBytes(bytes.begin(), bytes.end());
}

// The bytes of the hex text as a received batch.
inline std::string Batch(std::string_view hex) {
    const FrameBytes b = Hex(hex);
    return {b.begin(), b.end()};
}

inline std::string HexOf(std::string_view bytes) {
    std::string hex;
    char cell[4];
    for (const char c : bytes) {
        std::snprintf(cell, sizeof cell, hex.empty() ? "%02X" : " %02X", static_cast<std::uint8_t>(c));
        hex += cell;
    }
    return hex;
}

inline std::string HexOf(const FrameBytes& bytes) {
    return HexOf(std::string(bytes.begin(), bytes.end()));
}

// "41 41 ... " count times, for long payloads in tables.
inline std::string Repeat(const char* cell, int count) {
    std::string hex;
    for (int i = 0; i < count; ++i)
        hex += (hex.empty() ? "" : " ") + std::string(cell);
    return hex;
}

inline const char* ColourName(StatusColour c) {
    return c == StatusColour::Silver ? "silver" : c == StatusColour::Red ? "red" : "green";
}

class FakeHost : public LinkHost {
public:
    void pause(int ms) override { log.push_back("pause " + std::to_string(ms)); }
    bool write(const std::uint8_t* data, std::uint16_t length) override {
        writes.emplace_back(data, data + length);
        log.push_back("write " + HexOf(writes.back()));
        if (onWrite)
            onWrite();
        return true;
    }
    void setReplyTimer(LinkSequence sequence, bool enabled, int intervalMs) override {
        const std::string name = sequence == LinkSequence::Upload ? "timer1" : "timer4";
        log.push_back(enabled ? name + " on " + std::to_string(intervalMs) : name + " off");
    }
    void restartStalenessTimer() override { log.push_back("staleness"); }
    void setStatus(LinkSequence sequence, const std::string& caption, StatusColour colour) override {
        const std::string entry = (sequence == LinkSequence::Upload ? "label1 '" : "label8 '") + caption +
                                  "' " + ColourName(colour);
        statuses.push_back(entry);
        log.push_back(entry);
    }
    void showVersion(const std::string& caption) override {
        versions.push_back(caption);
        log.push_back("version " + caption);
    }
    // Named as the window's labels that show the item.
    std::string uploadText(ItemCode code, std::uint8_t index) override {
        const std::string n = std::to_string(index + 1);
        const std::string name = code == ItemCode::Header1   ? "Header_1"
                                 : code == ItemCode::Header2 ? "Header_2"
                                 : code == ItemCode::TagName ? "Tag_" + n
                                                             : "Units_" + n;
        log.push_back("read " + name);
        return labels[name];
    }
    void blockStored() override { log.push_back("redraw"); }

    int count(const std::string& entry) const {
        int n = 0;
        for (const auto& e : log)
            n += e == entry;
        return n;
    }
    std::vector<std::string> writtenHex() const {
        std::vector<std::string> hex;
        for (const auto& w : writes)
            hex.push_back(HexOf(w));
        return hex;
    }
    void clear() {
        log.clear();
        writes.clear();
        statuses.clear();
        versions.clear();
    }

    std::vector<std::string> log;
    std::vector<FrameBytes> writes;
    std::vector<std::string> statuses;
    std::vector<std::string> versions;
    std::map<std::string, std::string> labels;
    std::function<void()> onWrite;
};

// The link's events as text, in order, and what they say of the link's state: the bytes it keeps waiting
// and each sequence's step (0 when not running). Bytes said to be dispatched or dropped must be the
// bytes received since the last frame or drop: anything else fails the test.
class LinkRecorder : public LinkListener {
public:
    void FrameSent(std::string_view frame, int resend) override {
        events.push_back("sent " + HexOf(frame) + (resend > 0 ? " resend " + std::to_string(resend) : ""));
    }
    void BatchReceived(std::string_view batch) override {
        events.push_back("batch " + HexOf(batch));
        buffer.append(batch);
    }
    void FrameDispatched(char letter, std::string_view frame) override {
        events.push_back(std::string("frame ") + letter + " " + HexOf(frame));
        EXPECT_EQ(HexOf(frame), HexOf(buffer)) << "a frame other than the bytes received";
        EXPECT_EQ(letter, frame.size() > 1 ? frame[1] : '\0');
        buffer.clear();
    }
    void Dropped(DropReason reason, std::string_view bytes) override {
        events.push_back("dropped " + std::string(DropReasonName(reason)) + ": " + HexOf(bytes));
        if (reason == DropReason::ReplyTooShort)
            return;
        EXPECT_EQ(HexOf(bytes), HexOf(buffer)) << "dropped bytes other than those received";
        buffer.clear();
    }
    void ReadingsTaken(ChannelValues raw, ChannelValues displayed, ChannelFlagBytes flags) override {
        std::string text = "readings";
        for (const std::int16_t v : raw)
            text += " " + std::to_string(v);
        text += " /";
        for (const std::int16_t v : displayed)
            text += " " + std::to_string(v);
        text += " flags " + HexOf({reinterpret_cast<const char*>(flags.data()), flags.size()});
        events.push_back(text);
    }
    void ReadingsStale() override { events.push_back("stale"); }
    void SequenceStep(LinkSequence sequence, int step, StepOutcome outcome) override {
        events.push_back(std::string(SequenceName(sequence)) + " " + std::to_string(step) + " " +
                         std::string(StepOutcomeName(outcome)));
        (sequence == LinkSequence::Download ? downloadStep : uploadStep) =
            outcome == StepOutcome::Requested ? step : 0;
    }

    // The events that begin with this text.
    std::vector<std::string> starting(std::string_view prefix) const {
        std::vector<std::string> found;
        for (const auto& e : events)
            if (e.starts_with(prefix))
                found.push_back(e);
        return found;
    }

    std::vector<std::string> events;
    std::string buffer;
    int downloadStep = 0;
    int uploadStep = 0;
};

// A unit that answers every request of the download and the upload with its designed reply.
inline FrameBytes ReplyTo(const FrameBytes& request) {
    switch (request.at(1)) {
    case 'v':
        return BuildFrame('V', std::string_view("2.07"));
    case 'c':
        return Hex("01 43 20 " + Repeat("11", 8) + " " + Repeat("22", 8) + " " + Repeat("33", 8) + " " +
                   Repeat("44", 8));
    case 'p': {
        const std::uint8_t index = request.at(3), code = request.at(4);
        if (code == CodeByte(ItemCode::Flags))
            return Hex("01 50 06 07 18 02 41 00 01");
        const std::string text =
            std::string(1, char('a' + code - CodeByte(ItemCode::Header1))) + std::to_string(index);
        return BuildItemFrame('P', index, code, text);
    }
    case 'q':
        return BuildCommand('Q');
    case 'b':
        return BuildCommand('B');
    case 's':
        return BuildCommand('S');
    }
    return {};
}

// Feeds the reply to every request not yet answered, each as one batch, until nothing new is sent.
inline void AnswerPromptly(DeviceLink& link, FakeHost& host, std::size_t answered = 0) {
    while (answered < host.writes.size()) {
        const FrameBytes reply = ReplyTo(host.writes[answered++]);
        link.receive({reinterpret_cast<const char*>(reply.data()), reply.size()});
    }
}

// A link on a block with defaults, a recording host and a recording listener.
struct LinkFixture {
    LinkFixture() {
        SetBlockDefaults(block);
        link.addListener(recorder);
    }
    void receive(std::string_view hex) { link.receive(Batch(hex)); }
    // One frame of this letter around the payload, its length byte counted.
    void receiveFrame(char letter, std::string_view payloadHex) {
        const FrameBytes frame = BuildFrame(letter, Batch(payloadHex));
        link.receive({reinterpret_cast<const char*>(frame.data()), frame.size()});
    }

    ConfigBlock block{};
    FakeHost host;
    LinkRecorder recorder;
    DeviceLink link{block, host};
};

} // namespace quellix
