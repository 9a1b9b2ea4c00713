#include "SerialTestSupport.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <cerrno>
#include <fcntl.h>
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

PtyPair::PtyPair() {
    char name[128] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    slavePath_ = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair() {
    CloseMaster();
    ::close(slave_);
}

void PtyPair::CloseMaster() {
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

void PtyPair::Write(const QByteArray& bytes) const {
    qsizetype offset = 0;
    const auto deadline = Clock::now() + WaitLimit;
    while (offset < bytes.size() && Clock::now() < deadline) {
        const ssize_t n =
            ::write(master_, bytes.constData() + offset, static_cast<size_t>(bytes.size() - offset));
        if (n > 0) {
            offset += n;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            throw std::runtime_error("write to pty master failed");
        } else {
            pollfd fd{master_, POLLOUT, 0};
            ::poll(&fd, 1, 100);
        }
    }
}

QByteArray PtyPair::Read(std::size_t count, std::chrono::milliseconds limit) const {
    QByteArray got;
    const auto deadline = Clock::now() + limit;
    char buffer[4096];
    while (static_cast<std::size_t>(got.size()) < count) {
        const int wait = RemainingMs(deadline);
        pollfd fd{master_, POLLIN, 0};
        if (::poll(&fd, 1, wait) <= 0 && wait == 0)
            break;
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0)
            got.append(buffer, n);
        else if (wait == 0)
            break;
    }
    return got;
}

QByteArray PtyPair::ReadFor(std::chrono::milliseconds period) const {
    return Read(static_cast<std::size_t>(-1), period);
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() >= deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

void ProcessEventsFor(std::chrono::milliseconds period) {
    const auto deadline = Clock::now() + period;
    while (Clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(1ms);
    }
}

void EventLog::Attach(TComPort& port) {
    port.OnReceiveData = [this](const std::uint8_t* buffer, std::uint16_t length) {
        dataBlocks.emplace_back(reinterpret_cast<const char*>(buffer), length);
        order.push_back('d');
    };
    port.OnReceiveString = [this](const QByteArray& s) {
        batches.push_back(s);
        batchTimes.push_back(Clock::now());
        order.push_back('s');
    };
    port.OnRequestHangup = [this](TComPort*) {
        ++hangups;
        order.push_back('h');
    };
}

QByteArray EventLog::Joined() const {
    QByteArray all;
    for (const QByteArray& batch : batches)
        all += batch;
    return all;
}

PortOnPty::PortOnPty(TRxDelay delay) {
    port.SetDevicePaths({{QStringLiteral("COM1"), pty.SlavePath()}});
    port.CommPort = TCommPort::Com1;
    port.RxDelay = delay;
    log.Attach(port);
}

} // namespace quellix
