#include "TestPty.h"

#include <QtCore/qtestsupport_core.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace quellix {

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

} // namespace

TestPty::TestPty(Ends ends) {
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    // Programs a test starts (the simulator, a lock holder) must not keep the line up behind its back.
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    path_ = QString::fromLocal8Bit(name);
    if (ends == Ends::Master) {
        ::close(slave_);
        slave_ = -1;
    }
}

TestPty::~TestPty() {
    closeMaster();
}

void TestPty::closeMaster() {
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
    if (slave_ >= 0)
        ::close(slave_);
    slave_ = -1;
}

bool TestPty::write(const QByteArray& bytes, std::chrono::milliseconds bound) const {
    const auto deadline = Clock::now() + bound;
    qsizetype done = 0;
    while (master_ >= 0 && done < bytes.size()) {
        const ssize_t n =
            ::write(master_, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        const int left = RemainingMs(deadline);
        if (left == 0)
            return false;
        pollfd fd{master_, POLLOUT, 0};
        ::poll(&fd, 1, std::min(left, 100));
    }
    return done == bytes.size();
}

QByteArray TestPty::readAvailable() const {
    QByteArray got;
    char buffer[4096];
    ssize_t n = 0;
    while (master_ >= 0 && (n = ::read(master_, buffer, sizeof buffer)) > 0)
        got.append(buffer, n);
    return got;
}

QByteArray TestPty::read(qsizetype count, std::chrono::milliseconds bound) const {
    QByteArray got;
    const auto deadline = Clock::now() + bound;
    while (master_ >= 0 && got.size() < count) {
        const int left = RemainingMs(deadline);
        pollfd fd{master_, POLLIN, 0};
        const QByteArray more = ::poll(&fd, 1, left) > 0 ? readAvailable() : QByteArray();
        got += more;
        if (left == 0)
            break;
        // With nobody at the far end the master reports a hang-up at once, until the line is opened
        // again: look again shortly instead of spinning.
        if (more.isEmpty() && (fd.revents & POLLHUP))
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, 5)));
    }
    return got;
}

QByteArray TestPty::readFor(std::chrono::milliseconds period) const {
    return read(std::numeric_limits<qsizetype>::max(), period);
}

QByteArray TestPty::readWhileEventsRun(qsizetype count, int boundMs) const {
    QByteArray got;
    (void)QTest::qWaitFor(
        [&] {
            got += readAvailable();
            return got.size() >= count;
        },
        boundMs);
    return got;
}

} // namespace quellix
