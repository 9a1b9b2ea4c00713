#include "SimOptions.h"

#include <charconv>
#include <string_view>

namespace quellix {

const char* const SimUsage =
    "Usage: quellix-sim [options]\n"
    "Plays the Quellix display unit on a pseudo-terminal (its path is printed on the first line).\n"
    "\n"
    "  --link PATH         also make a symbolic link PATH to the pseudo-terminal (removed at exit)\n"
    "  --device PATH       serve a real serial device at 9600 8N1 instead of a pseudo-terminal\n"
    "  --listen HOST:PORT  serve the unit over raw TCP instead (port 0: a free one), one client at a\n"
    "                      time; a second one hears \"Port already in use\" and is closed, as with\n"
    "                      ser2net. The address listened on is printed on the first line\n"
    "  --state FILE        load the unit's configuration from a qlx file (defaults when missing);\n"
    "                      the store command writes it back\n"
    "  --version TEXT      the unit's version text (at most 35 bytes, not starting with -)\n"
    "  --seed N            seed of the reading noise, for repeatable readings\n"
    "  --raw A,B,C,D       fix the four raw readings (0..1023)\n"
    "  --mute              never answer\n"
    "  --drop-every N      leave every Nth request unanswered\n"
    "  --garble-every N    send every Nth reply with a stray zero byte after it, which makes the\n"
    "                      tool drop the whole batch\n"
    "  --advance-every N   answer every Nth request with 'T', which moves a download on without\n"
    "                      its item\n"
    "  --reply-delay MS    wait MS milliseconds before each reply, one request after another\n"
    "  --delay-every N     with --reply-delay: wait only before the reply to every Nth request\n"
    "  --split-replies     send each reply in two pieces further apart than the receive gap\n"
    "  --store-other       store channel 1's tag one character short, acknowledging it as usual\n"
    "  --pace              send at the pace of 9600 bit/s\n"
    "  --log               one line per frame in and out on standard error, with a monotonic time stamp\n"
    "  --control PATH      take commands that change the readings while running, one a line, from the\n"
    "                      FIFO PATH (made when missing, removed at exit), or from standard input for -:\n"
    "                        raw CH VALUE           hold channel CH's raw reading at VALUE (0..1023)\n"
    "                        ramp CH FROM TO TIME   from FROM to TO in a straight line over TIME (10s,\n"
    "                                               500ms, 2m), then hold TO\n"
    "                        noise CH AMPLITUDE     add noise of up to +-AMPLITUDE counts (0: none)\n"
    "                        wave CH                back to the slow wave\n"
    "                        mute on|off            stop answering, or answer again\n"
    "                      CH is 1 to 4, or all\n"
    "  --version           without a text: show this program's version and licence\n"
    "  --help              show this text\n";

namespace {

template <typename T> bool parseNumber(std::string_view text, T& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

bool parseRaw(std::string_view text, RawReadings& raw) {
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const std::size_t comma = text.find(',');
        if ((i + 1 < raw.size()) != (comma != std::string_view::npos))
            return false;
        if (!parseNumber(text.substr(0, comma), raw[i]) || raw[i] < 0 || raw[i] > 1023)
            return false;
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
    }
    return true;
}

} // namespace

std::optional<SimOptions> ParseSimOptions(int argc, char** argv, std::string& error) {
    SimOptions o;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        // --version TEXT sets the unit's version text, as it always has; alone it asks for ours.
        const bool textFollows = i + 1 < argc && argv[i + 1][0] != '-';
        const char* v = nullptr;
        bool ok = true;
        if (arg == "--help") {
            o.help = true;
        } else if (arg == "--mute") {
            o.mute = true;
        } else if (arg == "--split-replies") {
            o.splitReplies = true;
        } else if (arg == "--pace") {
            o.pace = true;
        } else if (arg == "--store-other") {
            o.storeOther = true;
        } else if (arg == "--log") {
            o.log = true;
        } else if (arg == "--version" && !textFollows) {
            o.showVersion = true;
        } else if ((v = value()) == nullptr) {
            error = std::string(arg) + ": unknown option or missing value";
            return std::nullopt;
        } else if (arg == "--link") {
            o.link = v;
        } else if (arg == "--device") {
            o.device = v;
        } else if (arg == "--listen") {
            o.listen = v;
        } else if (arg == "--state") {
            o.stateFile = v;
        } else if (arg == "--control") {
            o.control = v;
        } else if (arg == "--version") {
            o.version = v;
            ok = o.version.size() <= 35;
        } else if (arg == "--seed") {
            ok = parseNumber(v, o.seed);
        } else if (arg == "--raw") {
            RawReadings raw{};
            ok = parseRaw(v, raw);
            o.raw = raw;
        } else if (arg == "--drop-every") {
            ok = parseNumber(v, o.dropEvery) && o.dropEvery >= 0;
        } else if (arg == "--garble-every") {
            ok = parseNumber(v, o.garbleEvery) && o.garbleEvery >= 0;
        } else if (arg == "--advance-every") {
            ok = parseNumber(v, o.advanceEvery) && o.advanceEvery >= 0;
        } else if (arg == "--reply-delay") {
            ok = parseNumber(v, o.replyDelayMs) && o.replyDelayMs >= 0;
        } else if (arg == "--delay-every") {
            ok = parseNumber(v, o.delayEvery) && o.delayEvery >= 1;
        } else {
            error = std::string(arg) + ": unknown option";
            return std::nullopt;
        }
        if (!ok) {
            error = std::string(arg) + ": invalid value \"" + v + "\"";
            return std::nullopt;
        }
    }
    if (!o.listen.empty() && (!o.device.empty() || !o.link.empty())) {
        error = "--listen serves TCP alone: it takes neither --device nor --link";
        return std::nullopt;
    }
    return o;
}

} // namespace quellix
