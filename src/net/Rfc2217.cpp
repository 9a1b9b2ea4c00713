#include "Rfc2217.h"

#include <algorithm>

namespace quellix {

namespace {

using Side = TelnetCodec::Side;

// SET-CONTROL values come in groups, and a server answers with the group's state: outbound flow
// control, break, DTR, RTS, inbound flow control.
int ControlGroup(std::uint8_t value) {
    if (value <= 3 || value == 17 || value == 19)
        return 0;
    if (value <= 6)
        return 1;
    if (value <= 9)
        return 2;
    if (value <= 12)
        return 3;
    return 4;
}

std::string ValueWords(const NetBytes& value) {
    unsigned long number = 0;
    for (const std::uint8_t byte : value)
        number = (number << 8) | byte; // network order
    return std::to_string(number);
}

} // namespace

const std::vector<Rfc2217Session::Setting>& Rfc2217Session::LineSettings() {
    static const std::vector<Setting> settings = {
        {SetBaudRate, {0x00, 0x00, 0x25, 0x80}, "9600 bit/s", true},
        {SetDataSize, {8}, "8 data bits", true},
        {SetParity, {1}, "no parity", true},
        {SetStopSize, {1}, "1 stop bit", true},
        {SetControl, {1}, "no flow control", true},
        {SetControl, {8}, "DTR on", false},
        {SetControl, {12}, "RTS off", false},
        {PurgeData, {3}, "the purge of both buffers", true},
    };
    return settings;
}

Rfc2217Session::Rfc2217Session()
    : codec_(
          {[this](std::uint8_t option, const NetBytes& bytes) {
               if (option == telnet::ComPortOption)
                   ServerCommand(bytes);
           },
           [this](Side side, std::uint8_t option, bool enabled) { OptionChanged(side, option, enabled); }}),
      answers_(LineSettings().size()) {
    codec_.Want(Side::Local, telnet::Binary);
    codec_.Want(Side::Remote, telnet::Binary);
    codec_.Want(Side::Local, telnet::SuppressGoAhead);
    codec_.Want(Side::Remote, telnet::SuppressGoAhead);
    codec_.Want(Side::Local, telnet::ComPortOption);
}

NetBytes Rfc2217Session::Start() {
    return codec_.Start();
}

void Rfc2217Session::Receive(const std::uint8_t* bytes, std::size_t count, NetBytes& data, NetBytes& send) {
    codec_.Receive(bytes, count, data, send);
    if (settingsDue_ && !settingsSent_) {
        settingsSent_ = true;
        for (const Setting& s : LineSettings()) {
            // Byte by byte: GCC 12 misjudges the bounds of a range insert after an initializer list.
            NetBytes command;
            command.push_back(s.command);
            for (const std::uint8_t byte : s.value)
                command.push_back(byte);
            const NetBytes sub = TelnetCodec::Subnegotiation(telnet::ComPortOption, command);
            send.insert(send.end(), sub.begin(), sub.end());
        }
    }
}

void Rfc2217Session::OptionChanged(Side side, std::uint8_t option, bool enabled) {
    if (option == telnet::ComPortOption && side == Side::Local) {
        settingsDue_ = settingsDue_ || enabled;
        comPortRefused_ = !enabled && !settingsSent_;
    } else if (option == telnet::Binary && !enabled) {
        binaryRefused_ = true;
    }
}

// An answer to a setting, or a notification (line state, modem state, flow control) that is read and
// ignored: the link has no use for them.
void Rfc2217Session::ServerCommand(const NetBytes& bytes) {
    if (bytes.size() < 2 || bytes[0] < ServerOffset)
        return;
    const std::uint8_t command = bytes[0] - ServerOffset;
    const NetBytes value(bytes.begin() + 1, bytes.end());
    const auto& settings = LineSettings();
    for (std::size_t i = 0; i < settings.size(); ++i) {
        if (settings[i].command == command &&
            (command != SetControl || ControlGroup(settings[i].value[0]) == ControlGroup(value[0])))
            answers_[i] = value;
    }
}

bool Rfc2217Session::Settled() const {
    if (comPortRefused_)
        return true;
    const auto& settings = LineSettings();
    for (std::size_t i = 0; i < settings.size(); ++i) {
        if (settings[i].awaited && !answers_[i])
            return false;
    }
    return settingsSent_;
}

std::vector<std::string> Rfc2217Session::Warnings() const {
    std::vector<std::string> warnings;
    if (binaryRefused_)
        warnings.push_back("the server refused binary transmission: bytes may be changed on the way");
    if (comPortRefused_) {
        warnings.push_back(
            "the server refused the COM-PORT-OPTION: the line keeps the server's own settings");
        return warnings;
    }
    if (!settingsSent_) {
        warnings.push_back("the server did not answer the COM-PORT-OPTION: the line keeps the server's own "
                           "settings");
        return warnings;
    }
    std::string unanswered;
    const auto& settings = LineSettings();
    for (std::size_t i = 0; i < settings.size(); ++i) {
        if (!answers_[i]) {
            unanswered += unanswered.empty() ? "" : ", ";
            unanswered += settings[i].words;
        } else if (*answers_[i] != settings[i].value && settings[i].command != PurgeData) {
            warnings.push_back(std::string("the server did not take ") + settings[i].words +
                               " (it answered " + ValueWords(*answers_[i]) + ")");
        }
    }
    if (!unanswered.empty())
        warnings.push_back("the server did not confirm " + unanswered);
    return warnings;
}

} // namespace quellix
