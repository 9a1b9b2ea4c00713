#include "PromptPeer.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Byte by byte: GCC 12 misjudges the bounds of a range insert after an initializer list.
Bytes Frame(char letter, const Bytes& payload = {}) {
    Bytes frame;
    frame.reserve(payload.size() + 3);
    frame.push_back(0x01);
    frame.push_back(static_cast<std::uint8_t>(letter));
    frame.push_back(static_cast<std::uint8_t>(payload.size()));
    for (const std::uint8_t byte : payload)
        frame.push_back(byte);
    return frame;
}

Bytes Readings(std::int16_t raw) {
    Bytes payload;
    for (int value = 0; value < 8; ++value) {
        const auto v = static_cast<std::uint16_t>(raw + value);
        payload.push_back(static_cast<std::uint8_t>(v & 0xFF));
        payload.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    return payload;
}

void WriteAll(int fd, const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else {
            pollfd out{fd, POLLOUT, 0};
            ::poll(&out, 1, 10);
        }
    }
}

} // namespace

PromptPeer::PromptPeer() {
    if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
        master_ = -1;
        return;
    }
    termios t{};
    ::tcgetattr(slave_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave_, TCSANOW, &t);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
    path_ = ::ttyname(slave_);
    thread_ = std::thread([this] { Serve(); });
}

PromptPeer::~PromptPeer() {
    if (thread_.joinable()) {
        stop_.Signal();
        thread_.join();
    }
    if (master_ >= 0)
        ::close(master_);
    // Held until now, so the tool's side never sees a hang-up while the peer runs.
    if (slave_ >= 0)
        ::close(slave_);
}

std::vector<PromptPeer::Exchange> PromptPeer::TakeLog() {
    const std::lock_guard lock(mutex_);
    return std::exchange(log_, {});
}

void PromptPeer::Serve() {
    Bytes pending;
    for (;;) {
        pollfd fds[2] = {{stop_.Fd(), POLLIN, 0}, {master_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 || fds[0].revents != 0)
            return;
        std::uint8_t buffer[256];
        ssize_t n;
        while ((n = ::read(master_, buffer, sizeof buffer)) > 0)
            pending.insert(pending.end(), buffer, buffer + n);
        while (pending.size() >= 3 && pending.size() >= pending[2] + 3u) {
            const auto end = pending.begin() + pending[2] + 3;
            Answer(Bytes(pending.begin(), end));
            pending.erase(pending.begin(), end);
        }
    }
}

void PromptPeer::Answer(const Bytes& request) {
    const auto arrived = bench::Clock::now();
    const char letter = static_cast<char>(request[1]);
    Bytes reply;
    switch (letter) {
    case 'v':
        reply = Frame('V', {'1', '.', '0'});
        break;
    case 'c':
        reply = Frame('C', Bytes(32, 0));
        break;
    case 'p':
        reply = Frame('P', {request[3], request[4], 'A'});
        break;
    case 'q':
        reply = Frame('Q');
        break;
    case 'b':
        reply = Frame('B');
        break;
    case 's':
        reply = Frame('S');
        break;
    case 'x':
        reply = Frame('X', Readings(reading_++));
        break;
    default:
        break;
    }
    if (!reply.empty())
        WriteAll(master_, reply);
    const std::lock_guard lock(mutex_);
    log_.push_back({letter, arrived, bench::Clock::now()});
}
