#include "PtyPeer.h"

#include <cstdio>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace quellix {

PtyPeer::PtyPeer() {
    clock_.start();
    if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0)
        return;
    // Raw from the first moment: request frames carry 0x0A and other control bytes.
    termios t{};
    tcgetattr(slave_, &t);
    cfmakeraw(&t);
    tcsetattr(slave_, TCSANOW, &t);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
    path_ = QString::fromLocal8Bit(::ttyname(slave_));
    notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &PtyPeer::readAvailable);
}

PtyPeer::~PtyPeer() {
    closeMaster();
    if (slave_ >= 0)
        ::close(slave_);
}

void PtyPeer::closeMaster() {
    notifier_.reset();
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
    // Without our own slave descriptor the tool's side sees the hang-up.
    if (slave_ >= 0)
        ::close(slave_);
    slave_ = -1;
}

void PtyPeer::send(const Bytes& bytes) const {
    std::size_t done = 0;
    while (master_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else
            ::usleep(500);
    }
}

void PtyPeer::readAvailable() {
    std::uint8_t buffer[512];
    ssize_t n;
    while ((n = ::read(master_, buffer, sizeof buffer)) > 0)
        pending_.insert(pending_.end(), buffer, buffer + n);
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
