// Command-line options of quellix-sim.
#pragma once

#include "Readings.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace quellix {

struct SimOptions {
    std::string link;      // symbolic link to the pseudo-terminal, removed at exit
    std::string device;    // serve this serial device instead of a pseudo-terminal
    std::string listen;    // serve raw TCP at HOST:PORT instead of a pseudo-terminal
    std::string stateFile; // qlx file loaded at start and written by the store command
    std::string control;   // FIFO (made when missing) or "-" for standard input: control commands
    std::string version = "QX-4 V2.10";
    std::uint32_t seed = 1;
    std::optional<RawReadings> raw;
    bool mute = false;
    int dropEvery = 0;    // leave every Nth request unanswered
    int garbleEvery = 0;  // send every Nth reply with a stray byte after it
    int advanceEvery = 0; // answer every Nth request with 'T' instead of its reply
    int replyDelayMs = 0;
    int delayEvery = 1; // the reply delay holds every Nth request only
    bool splitReplies = false;
    bool pace = false;       // send at 9600 bit/s, 10 bits a byte
    bool storeOther = false; // keep channel 1's tag one character short
    bool log = false;
    bool help = false;
    bool showVersion = false; // --version without a text: the program's own version
};

// Parses argv; on a bad option returns nothing and sets `error`.
std::optional<SimOptions> ParseSimOptions(int argc, char** argv, std::string& error);
extern const char* const SimUsage;

} // namespace quellix
