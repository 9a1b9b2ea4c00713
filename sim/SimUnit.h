// The simulated display unit's side of the link: requests in, replies out, its configuration held as a
// configuration block.
#pragma once

#include "ConfigBlock.h"
#include "Readings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quellix {

using Bytes = std::vector<std::uint8_t>;

class SimUnit {
public:
    SimUnit(const ConfigBlock& state, std::string version, Readings readings);

    // The reply to one complete request frame, or nothing for a request the unit cannot take.
    // `seconds` is the time since start, for the readings.
    std::optional<Bytes> Handle(const Bytes& frame, double seconds);

    const ConfigBlock& State() const { return state_; }
    // The raw inputs, which the control commands change while the unit runs.
    Readings& Inputs() { return readings_; }
    // True once after each store command: the caller writes the state to its file.
    bool TakeStoreRequest();
    // A faulty unit: channel 1's tag is stored one character short, and acknowledged as usual.
    void SetStoreOther(bool on) { storeOther_ = on; }

private:
    std::optional<Bytes> itemReply(const Bytes& frame) const;
    std::optional<Bytes> storeItem(const Bytes& frame);
    Bytes measurementReply(double seconds);

    ConfigBlock state_;
    std::string version_;
    Readings readings_;
    bool storeRequested_ = false;
    bool storeOther_ = false;
};

// Assembles request frames from bytes arriving in any batches: a frame starts with 0x01 and ends after
// its length byte's count of payload bytes; a stray byte that cannot start a frame is skipped.
class RequestAssembler {
public:
    void Feed(const std::uint8_t* data, std::size_t count);
    // The next complete frame, if one has arrived.
    std::optional<Bytes> Next();
    // Forgets a partial frame, for when the line has gone quiet in the middle of one.
    void DropPartial() { pending_.clear(); }
    bool HasPartial() const { return !pending_.empty(); }

private:
    Bytes pending_;
};

} // namespace quellix
