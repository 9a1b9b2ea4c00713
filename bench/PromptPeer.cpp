#include "PromptPeer.h"

#include "Frames.h"

#include <array>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace quellix {

namespace {

using Bytes = std::vector<std::uint8_t>;

// Eight consecutive values from a reading on, as the 'X' reply carries raw and measured values.
Bytes ReadingsReply(std::int16_t raw) {
    std::array<std::int16_t, 8> values{};
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<std::int16_t>(raw + static_cast<int>(i));
    return BuildValuesFrame('X', values);
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
        reply = BuildFrame('V', std::string_view("1.0"));
        break;
    case 'c':
        reply = BuildFrame('C', Bytes(CalibrationTableSize, 0));
        break;
    case 'p':
        // The flags item is stored only whole: one byte per channel (two decimals each).
        reply = BuildItemFrame('P', request[3], request[4],
                               request[4] == CodeByte(ItemCode::Flags) ? std::string_view("\2\2\2\2") : "A");
        break;
    case 'q':
        reply = BuildCommand('Q');
        break;
    case 'b':
        reply = BuildCommand('B');
        break;
    case 's':
        reply = BuildCommand('S');
        break;
    case 'x':
        reply = ReadingsReply(reading_++);
        break;
    default:
        break;
    }
    if (!reply.empty())
        WriteAll(master_, reply);
    const std::lock_guard lock(mutex_);
    log_.push_back({letter, arrived, bench::Clock::now()});
}

} // namespace quellix
