// What the device link needs of whoever drives it: the pause and the port before every request, the
// reply timers of the two sequences and the readings' staleness timer, the status and version texts,
// the texts an upload sends, and word that something was stored in the block.
#pragma once

#include "Frames.h"
#include "LinkListener.h"

#include <cstdint>
#include <string>

namespace quellix {

inline constexpr int PauseBeforeSendMs = 100;
inline constexpr int ReplyTimeoutMs = 2000;
inline constexpr int AutoReadIntervalMs = 1000;
inline constexpr int StalenessIntervalMs = 5000;

enum class StatusColour { Silver, Red, Green };

// The background of a status text as 0xRRGGBB.
constexpr std::uint32_t statusRgb(StatusColour colour) {
    switch (colour) {
    case StatusColour::Silver:
        return 0xC0C0C0;
    case StatusColour::Red:
        return 0xFF0000;
    case StatusColour::Green:
        return 0x008000;
    }
    return 0xC0C0C0;
}

// Texts cross this interface as the block's 8-bit (Windows-1252) bytes.
class LinkHost {
public:
    virtual ~LinkHost() = default;

    // Comes before every request is written: the request is due `ms` from now.
    virtual void pause(int ms) = 0;
    // Queues the bytes for transmission and returns at once.
    virtual bool write(const std::uint8_t* data, std::uint16_t length) = 0;
    // The sequence's reply timer: its interval set, then started or stopped.
    virtual void setReplyTimer(LinkSequence sequence, bool enabled, int intervalMs) = 0;
    // The readings' staleness timer: stopped, interval StalenessIntervalMs, started.
    virtual void restartStalenessTimer() = 0;
    // The sequence's status text and its colour.
    virtual void setStatus(LinkSequence sequence, const std::string& caption, StatusColour colour) = 0;
    // The whole version text, "Software version: " included.
    virtual void showVersion(const std::string& caption) = 0;
    // The text an upload sends now for a header (index 0), a tag or a units text (index 0..3).
    virtual std::string uploadText(ItemCode code, std::uint8_t index) = 0;
    // The link stored something in the block.
    virtual void blockStored() = 0;
};

} // namespace quellix
