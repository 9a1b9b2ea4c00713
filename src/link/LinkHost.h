// What the device link needs of the window that owns it: the pause and the port before every request,
// its timers, its status and version labels, the label texts an upload sends, and the redraw.
#pragma once

#include <cstdint>
#include <string>

namespace quellix {

inline constexpr int PauseBeforeSendMs = 100;
inline constexpr int ReplyTimeoutMs = 2000;
inline constexpr int AutoReadIntervalMs = 1000;
inline constexpr int StalenessIntervalMs = 5000;

enum class LinkTimer {
    Timer1, // upload reply timer
    Timer4, // download reply timer
};

enum class StatusLabel {
    Label1, // upload status
    Label8, // download status
};

enum class StatusColour { Silver, Red, Green };

// The background of a status label as 0xRRGGBB.
constexpr std::uint32_t StatusRgb(StatusColour colour) {
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

// Texts cross this interface as the block's 8-bit (Windows-1252) bytes; the window shows them as
// plain text, never as markup.
class LinkHost {
public:
    virtual ~LinkHost() = default;

    // Holds the window's thread; nothing else is handled meanwhile.
    virtual void Pause(int ms) = 0;
    // Queues the bytes for transmission and returns at once.
    virtual bool WriteCommData(const std::uint8_t* data, std::uint16_t length) = 0;
    // Sets the timer's interval, then starts or stops it.
    virtual void SetReplyTimer(LinkTimer which, bool enabled, int intervalMs) = 0;
    // Timer3: stop, interval StalenessIntervalMs, start.
    virtual void RestartStalenessTimer() = 0;
    virtual void SetStatus(StatusLabel which, const std::string& caption, StatusColour colour) = 0;
    // The whole caption of swVersion, "Software version: " included.
    virtual void ShowVersion(const std::string& caption) = 0;
    // The current text of the label with this object name (Tag_1, Units_4, Header_2, ...).
    virtual std::string LabelText(const std::string& objectName) = 0;
    // Shows the whole configuration block.
    virtual void BlockToWindow() = 0;
};

} // namespace quellix
