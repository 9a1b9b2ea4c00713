#include "SimControl.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace quellix {

namespace {

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t start = line.find_first_not_of(" \t\r", at);
        if (start == std::string_view::npos)
            break;
        const std::size_t end = std::min(line.find_first_of(" \t\r", start), line.size());
        words.push_back(line.substr(start, end - start));
        at = end;
    }
    return words;
}

bool Number(std::string_view text, int& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

bool RawValue(std::string_view text, std::int16_t& out) {
    int n = 0;
    if (!Number(text, n) || n < 0 || n > MaxRaw)
        return false;
    out = static_cast<std::int16_t>(n);
    return true;
}

// "10s", "500ms", "2m", or a bare number of seconds.
bool Duration(std::string_view text, double& seconds) {
    double scale = 1;
    if (text.ends_with("ms")) {
        scale = 0.001;
        text.remove_suffix(2);
    } else if (text.ends_with('s')) {
        text.remove_suffix(1);
    } else if (text.ends_with('m')) {
        scale = 60;
        text.remove_suffix(1);
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    seconds *= scale;
    return ec == std::errc() && end == text.data() + text.size() && !text.empty() && seconds >= 0;
}

// Channel indexes 0..3 that CH names, as a first and past-the-last index.
bool Channels(std::string_view text, int& first, int& last) {
    if (text == "all") {
        first = 0;
        last = ChannelCount;
        return true;
    }
    int n = 0;
    if (!Number(text, n) || n < 1 || n > ChannelCount)
        return false;
    first = n - 1;
    last = n;
    return true;
}

} // namespace

std::string ApplyControl(std::string_view line, Readings& readings, ControlState& state, double seconds) {
    const std::vector<std::string_view> w = Words(line);
    if (w.empty() || w[0].starts_with('#'))
        return {};
    const std::string_view command = w[0];
    if (command == "mute") {
        if (w.size() != 2 || (w[1] != "on" && w[1] != "off"))
            return "usage: mute on|off";
        state.muted = w[1] == "on";
        return {};
    }
    if (command != "raw" && command != "ramp" && command != "noise" && command != "wave")
        return "unknown command \"" + std::string(command) + "\" (raw, ramp, noise, wave, mute)";
    int first = 0, last = 0;
    if (w.size() < 2 || !Channels(w[1], first, last))
        return "the channel must be 1 to 4 or all";
    std::int16_t from = 0, to = 0;
    double duration = 0;
    int noise = 0;
    if (command == "raw" && w.size() == 3 && RawValue(w[2], to)) {
        for (int i = first; i < last; ++i)
            readings.Hold(i, to);
    } else if (command == "ramp" && w.size() == 5 && RawValue(w[2], from) && RawValue(w[3], to) &&
               Duration(w[4], duration)) {
        for (int i = first; i < last; ++i)
            readings.Ramp(i, from, to, seconds, duration);
    } else if (command == "noise" && w.size() == 3 && Number(w[2], noise) && noise >= 0 && noise <= MaxRaw) {
        for (int i = first; i < last; ++i)
            readings.SetNoise(i, noise);
    } else if (command == "wave" && w.size() == 2) {
        for (int i = first; i < last; ++i)
            readings.Wave(i);
    } else if (command == "raw") {
        return "usage: raw CH VALUE, VALUE 0 to 1023";
    } else if (command == "ramp") {
        return "usage: ramp CH FROM TO TIME, FROM and TO 0 to 1023, TIME such as 10s, 500ms or 2m";
    } else if (command == "noise") {
        return "usage: noise CH AMPLITUDE, AMPLITUDE 0 to 1023";
    } else {
        return "usage: wave CH";
    }
    return {};
}

void ControlLines::Feed(const char* data, std::size_t count) {
    pending_.append(data, count);
    // What never ends a line is no command; it must not grow without bound.
    if (pending_.size() > 4096 && pending_.find('\n') == std::string::npos)
        pending_.clear();
}

bool ControlLines::Next(std::string& line) {
    const std::size_t end = pending_.find('\n');
    if (end == std::string::npos)
        return false;
    line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    return true;
}

} // namespace quellix
