#include "Telnet.h"

namespace quellix {

using namespace telnet;

void TelnetCodec::Want(Side side, std::uint8_t option) {
    (side == Side::Local ? options_[option].wantLocal : options_[option].wantRemote) = true;
}

NetBytes TelnetCodec::Start() {
    NetBytes send;
    for (std::size_t option = 0; option < options_.size(); ++option) {
        Option& o = options_[option];
        const auto code = static_cast<std::uint8_t>(option);
        if (o.wantLocal && o.local == OptionState::No) {
            o.local = OptionState::WantYes;
            send.insert(send.end(), {Iac, Will, code});
        }
        if (o.wantRemote && o.remote == OptionState::No) {
            o.remote = OptionState::WantYes;
            send.insert(send.end(), {Iac, Do, code});
        }
    }
    return send;
}

TelnetCodec::OptionState TelnetCodec::State(Side side, std::uint8_t option) const {
    return side == Side::Local ? options_[option].local : options_[option].remote;
}

void TelnetCodec::Receive(const std::uint8_t* bytes, std::size_t count, NetBytes& data, NetBytes& send) {
    for (std::size_t i = 0; i < count; ++i)
        while (!Step(bytes[i], data, send)) {
        }
}

bool TelnetCodec::Step(std::uint8_t b, NetBytes& data, NetBytes& send) {
    switch (parse_) {
    case Parse::Data:
        if (b == Iac)
            parse_ = Parse::Iac;
        else
            data.push_back(b);
        break;
    case Parse::Iac:
        parse_ = Parse::Data;
        if (b == Iac) {
            data.push_back(b);
        } else if (b >= Sb) {
            verb_ = b;
            parse_ = b == Sb ? Parse::SubOption : Parse::Verb;
        } else {
            heardCommand_ = true; // NOP, go-ahead, data mark and the like: nothing to do
        }
        break;
    case Parse::Verb:
        Negotiate(verb_, b, send);
        parse_ = Parse::Data;
        break;
    case Parse::SubOption:
        subOption_ = b;
        sub_.clear();
        subOverflow_ = false;
        parse_ = Parse::Sub;
        break;
    case Parse::Sub:
        if (b == Iac)
            parse_ = Parse::SubIac;
        else
            AddToSubnegotiation(b);
        break;
    case Parse::SubIac:
        if (b == Se) {
            EndSubnegotiation();
            parse_ = Parse::Data;
        } else if (b == Iac) {
            AddToSubnegotiation(b);
            parse_ = Parse::Sub;
        } else {
            // IAC and a command inside a subnegotiation: the server broke it off. It is dropped, and
            // the byte is read again as the command it is.
            parse_ = Parse::Iac;
            return false;
        }
        break;
    }
    return true;
}

void TelnetCodec::AddToSubnegotiation(std::uint8_t b) {
    if (sub_.size() < MaxSubnegotiation)
        sub_.push_back(b);
    else
        subOverflow_ = true;
}

void TelnetCodec::EndSubnegotiation() {
    heardCommand_ = true;
    if (!subOverflow_ && handlers_.subnegotiation)
        handlers_.subnegotiation(subOption_, sub_);
}

void TelnetCodec::Negotiate(std::uint8_t verb, std::uint8_t option, NetBytes& send) {
    heardCommand_ = true;
    Option& o = options_[option];
    // WILL and WONT are about the server's side; DO and DONT about ours.
    if (verb == Will || verb == Wont)
        Answer(o.remote, o.wantRemote, verb == Will, Do, Dont, Side::Remote, option, send);
    else
        Answer(o.local, o.wantLocal, verb == Do, Will, Wont, Side::Local, option, send);
}

// RFC 1143 without the states for switching an option off, which this client never asks for: an
// answer is sent only where the state changes, so two sides never answer each other in a loop.
void TelnetCodec::Answer(OptionState& state, bool wanted, bool offered, std::uint8_t yes, std::uint8_t no,
                         Side side, std::uint8_t option, NetBytes& send) {
    const OptionState before = state;
    if (offered) {
        if (before == OptionState::Yes)
            return;
        if (before == OptionState::No && !wanted) {
            send.insert(send.end(), {Iac, no, option});
            return;
        }
        if (before == OptionState::No)
            send.insert(send.end(), {Iac, yes, option});
        state = OptionState::Yes;
    } else {
        if (before == OptionState::No)
            return;
        if (before == OptionState::Yes)
            send.insert(send.end(), {Iac, no, option});
        state = OptionState::No;
    }
    if (handlers_.optionChanged)
        handlers_.optionChanged(side, option, state == OptionState::Yes);
}

void TelnetCodec::Escape(const std::uint8_t* bytes, std::size_t count, NetBytes& out) {
    for (std::size_t i = 0; i < count; ++i) {
        out.push_back(bytes[i]);
        if (bytes[i] == Iac)
            out.push_back(Iac);
    }
}

NetBytes TelnetCodec::Subnegotiation(std::uint8_t option, const NetBytes& bytes) {
    NetBytes out{Iac, Sb, option};
    Escape(bytes.data(), bytes.size(), out);
    out.insert(out.end(), {Iac, Se});
    return out;
}

} // namespace quellix
