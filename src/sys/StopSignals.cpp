#include "StopSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace quellix {

namespace {

constexpr int Handled[] = {SIGTERM, SIGINT, SIGHUP};

// The write end of the active object's pipe; a handler may only write to it.
std::atomic<int> g_writeEnd{-1};

void OnSignal(int signalNumber) {
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    const int fd = g_writeEnd.load();
    if (fd >= 0) {
        // Nothing to do when the pipe is full: enough stop requests are waiting already.
        const ssize_t written = ::write(fd, &byte, 1);
        static_cast<void>(written);
    }
    errno = savedErrno;
}

} // namespace

StopSignals::StopSignals(QObject* parent) : QObject(parent) {
    int fds[2];
    if (g_writeEnd.load() >= 0 || ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    readEnd_.Reset(fds[0]);
    writeEnd_.Reset(fds[1]);
    g_writeEnd.store(writeEnd_.Get());
    auto* notifier = new QSocketNotifier(readEnd_.Get(), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &StopSignals::ReadOne);
    for (std::size_t i = 0; i < std::size(Handled); ++i) {
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(Handled[i], nullptr, &previous_[i]);
        // A signal the program was started with ignored stays ignored.
        if (previous_[i].sa_handler != SIG_IGN)
            ::sigaction(Handled[i], &action, nullptr);
    }
    active_ = true;
}

StopSignals::~StopSignals() {
    if (!active_)
        return;
    for (std::size_t i = 0; i < std::size(Handled); ++i)
        if (previous_[i].sa_handler != SIG_IGN)
            ::sigaction(Handled[i], &previous_[i], nullptr);
    g_writeEnd.store(-1);
}

void StopSignals::ReadOne() {
    unsigned char byte = 0;
    while (::read(readEnd_.Get(), &byte, 1) == 1)
        Q_EMIT received(byte);
}

} // namespace quellix
