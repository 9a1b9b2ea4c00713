#include "PtyPeer.h"

#include <cstdio>
#include <termios.h>

namespace quellix {

PtyPeer::PtyPeer() {
    clock_.start();
    // Raw from the first moment: request frames carry 0x0A and other control bytes.
    termios t{};
    tcgetattr(pty_.slave(), &t);
    cfmakeraw(&t);
    tcsetattr(pty_.slave(), TCSANOW, &t);
    notifier_ = std::make_unique<QSocketNotifier>(pty_.master(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &PtyPeer::readAvailable);
}

void PtyPeer::closeMaster() {
    notifier_.reset();
    pty_.closeMaster();
}

void PtyPeer::send(const Bytes& bytes) const {
    pty_.write(QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
}

void PtyPeer::readAvailable() {
    const QByteArray got = pty_.readAvailable();
    pending_.insert(pending_.end(), got.begin(), got.end());
    while (pending_.size() >= 3 && pending_.size() >= pending_[2] + 3u) {
        const auto end = pending_.begin() + pending_[2] + 3;
        Bytes frame(pending_.begin(), end);
        pending_.erase(pending_.begin(), end);
        frames_.push_back({frame, clock_.elapsed()});
        if (Answer) {
            if (const auto reply = Answer(frame))
                send(*reply);
        }
    }
}

std::optional<Bytes> PromptUnit(const Bytes& request) {
    switch (request[1]) {
    case 'v':
        return Frame('V', {'1', '.', '0'});
    case 'c':
        return Frame('C', Bytes(32, 0));
    case 'p':
        return Frame('P', {request[3], request[4], 'A'});
    case 'q':
        return Frame('Q');
    case 'b':
        return Frame('B');
    case 's':
        return Frame('S');
    case 'x':
        return Frame('X', Bytes(16, 0));
    default:
        return std::nullopt;
    }
}

std::string Hex(const Bytes& bytes) {
    std::string out;
    char b[4];
    for (const std::uint8_t byte : bytes) {
        std::snprintf(b, sizeof b, out.empty() ? "%02X" : " %02X", byte);
        out += b;
    }
    return out;
}

} // namespace quellix
