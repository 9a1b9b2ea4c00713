// The Telnet layer under RFC 2217 (RFC 854, 855, 1143): 0xFF escaped both ways, options negotiated
// without loops, subnegotiations gathered across reads. Plain C++; what an option means is the
// caller's business.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace quellix {

using NetBytes = std::vector<std::uint8_t>;

namespace telnet {
inline constexpr std::uint8_t Iac = 255, Dont = 254, Do = 253, Wont = 252, Will = 251, Sb = 250, Se = 240;
inline constexpr std::uint8_t Binary = 0, SuppressGoAhead = 3, ComPortOption = 44;
} // namespace telnet

class TelnetCodec {
public:
    // Which side of an option: ours ("WILL") or the server's ("DO" asks the server).
    enum class Side : std::uint8_t { Local, Remote };
    enum class OptionState : std::uint8_t { No, WantYes, Yes };

    // Subnegotiations longer than this are dropped whole: nothing this client reads is longer, and a
    // server that never ends one must not grow the buffer.
    static constexpr std::size_t MaxSubnegotiation = 64;

    struct Handlers {
        // A complete subnegotiation: the option and its bytes, unescaped.
        std::function<void(std::uint8_t option, const NetBytes& bytes)> subnegotiation;
        // An option we asked for was agreed (true) or refused (false), or one in force was withdrawn.
        std::function<void(Side side, std::uint8_t option, bool enabled)> optionChanged;
    };

    explicit TelnetCodec(Handlers handlers) : handlers_(std::move(handlers)) {}

    // Options asked for at the start and accepted when the server offers them; every other is refused.
    void Want(Side side, std::uint8_t option);
    // The requests for every wanted option, to send once the connection is up.
    NetBytes Start();

    // Decodes bytes from the server: data bytes are appended to `data`, answers to `send`.
    void Receive(const std::uint8_t* bytes, std::size_t count, NetBytes& data, NetBytes& send);
    // Whether any Telnet command has come from the server yet.
    bool HeardCommand() const { return heardCommand_; }
    OptionState State(Side side, std::uint8_t option) const;

    // Data to send, with every 0xFF doubled.
    static void Escape(const std::uint8_t* bytes, std::size_t count, NetBytes& out);
    // A subnegotiation IAC SB option bytes IAC SE, its bytes escaped.
    static NetBytes Subnegotiation(std::uint8_t option, const NetBytes& bytes);

private:
    enum class Parse : std::uint8_t { Data, Iac, Verb, SubOption, Sub, SubIac };
    struct Option {
        OptionState local = OptionState::No, remote = OptionState::No;
        bool wantLocal = false, wantRemote = false;
    };

    // False when the byte must be read again in the state it led to.
    bool Step(std::uint8_t byte, NetBytes& data, NetBytes& send);
    void AddToSubnegotiation(std::uint8_t byte);
    void Negotiate(std::uint8_t verb, std::uint8_t option, NetBytes& send);
    void Answer(OptionState& state, bool wanted, bool offered, std::uint8_t yes, std::uint8_t no, Side side,
                std::uint8_t option, NetBytes& send);
    void EndSubnegotiation();

    Handlers handlers_;
    std::array<Option, 256> options_{};
    Parse parse_ = Parse::Data;
    std::uint8_t verb_ = 0;
    std::uint8_t subOption_ = 0;
    NetBytes sub_;
    bool subOverflow_ = false;
    bool heardCommand_ = false;
};

} // namespace quellix
