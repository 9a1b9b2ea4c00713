// The client side of RFC 2217 for the unit's line: binary Telnet with the COM-PORT-OPTION, the line set
// as the tty is set (9600 bit/s, 8 data bits, no parity, 1 stop bit, no flow control, DTR on, RTS off)
// and both buffers purged. What the server refuses or leaves unanswered is a warning, never a failure:
// ser2net 4.3, for one, never answers the DTR and RTS settings. Plain C++.
#pragma once

#include "Telnet.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace quellix {

class Rfc2217Session {
public:
    Rfc2217Session();

    // What to send once the connection is up: the option requests.
    NetBytes Start();
    // Decodes bytes from the server: data bytes are appended to `data`, what to send now (answers, and
    // the line settings once the server takes the COM-PORT-OPTION) to `send`.
    void Receive(const std::uint8_t* bytes, std::size_t count, NetBytes& data, NetBytes& send);

    // The line is set up: the server answered every setting the link depends on (all but DTR and RTS),
    // or it refused the COM-PORT-OPTION.
    bool Settled() const;
    // Whether the server has sent any Telnet command: a raw TCP port never does.
    bool HeardTelnet() const { return codec_.HeardCommand(); }
    // What did not go as asked so far, one sentence each.
    std::vector<std::string> Warnings() const;

    // Data for the server, with every 0xFF doubled.
    static void EscapeData(const std::uint8_t* bytes, std::size_t count, NetBytes& out) {
        TelnetCodec::Escape(bytes, count, out);
    }

    // COM-PORT-OPTION commands from the client; the server answers each with the code plus 100.
    enum Command : std::uint8_t {
        Signature = 0,
        SetBaudRate = 1,
        SetDataSize = 2,
        SetParity = 3,
        SetStopSize = 4,
        SetControl = 5,
        PurgeData = 12,
        ServerOffset = 100,
    };

    struct Setting {
        std::uint8_t command;
        NetBytes value;
        const char* words;
        bool awaited; // the open waits for its answer
    };
    static const std::vector<Setting>& LineSettings();

private:
    void OptionChanged(TelnetCodec::Side side, std::uint8_t option, bool enabled);
    void ServerCommand(const NetBytes& bytes);

    TelnetCodec codec_;
    std::vector<std::optional<NetBytes>> answers_; // per line setting, once answered
    bool settingsDue_ = false;
    bool settingsSent_ = false;
    bool comPortRefused_ = false;
    bool binaryRefused_ = false;
};

} // namespace quellix
