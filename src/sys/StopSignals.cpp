#include "StopSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace quellix {

namespace {

constexpr int Handled[] = {SIGTERM, SIGINT, SIGHUP};

// Where the handler writes; -1 while no object has the signals. A lock-free atomic, so the handler may
// read it.
std::atomic<int> writeFd{-1};
static_assert(std::atomic<int>::is_always_lock_free);

// All a signal handler may safely do here: write the signal's number into the pipe. A full pipe drops
// it; the program has plenty of stop requests waiting by then.
extern "C" void OnStopSignal(int signalNumber) {
    const int savedErrno = errno;
    const int fd = writeFd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(signalNumber);
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

StopSignals::StopSignals(QObject* parent) : QObject(parent) {
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0)
        return;
    readEnd_.Reset(fds[0]);
    writeEnd_.Reset(fds[1]);
    int expected = -1;
    if (!writeFd.compare_exchange_strong(expected, writeEnd_.Get()))
        return;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted reads and writes of other threads go on by themselves.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(Handled); ++i) {
        ::sigaction(Handled[i], nullptr, &previous_[i]);
        // Started with the signal ignored (nohup, a background job of a script): it stays ignored.
        if (previous_[i].sa_handler != SIG_IGN)
            ::sigaction(Handled[i], &action, nullptr);
    }
    auto* notifier = new QSocketNotifier(readEnd_.Get(), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &StopSignals::ReadOne);
    active_ = true;
}

StopSignals::~StopSignals() {
    if (!active_)
        return;
    // First the handler stops writing, then the descriptors may close.
    writeFd.store(-1);
    for (std::size_t i = 0; i < std::size(Handled); ++i)
        ::sigaction(Handled[i], &previous_[i], nullptr);
}

bool StopSignals::Pending() const {
    if (!active_)
        return false;
    pollfd p{readEnd_.Get(), POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN) != 0;
}

// One signal per wake-up: a second one that came with it is read at the next, which the event loop
// delivers also while the receiver of the first waits in a loop of its own (a message box).
void StopSignals::ReadOne() {
    unsigned char byte = 0;
    if (::read(readEnd_.Get(), &byte, 1) == 1)
        Q_EMIT received(byte);
}

} // namespace quellix
