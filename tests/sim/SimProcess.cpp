#include "SimProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

SimProcess::SimProcess(const QStringList& args, Port port) {
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start(QUELLIX_SIM_PATH, args);
    if (!process_.waitForStarted(5000))
        return;
    while (!process_.canReadLine() && process_.waitForReadyRead(5000)) {
    }
    path_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    started_ = !path_.isEmpty() && (port == Port::LeaveClosed || openPort());
}

SimProcess::~SimProcess() {
    closePort();
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

bool SimProcess::openPort() {
    closePort();
    fd_ = ::open(path_.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        return false;
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    tcsetattr(fd_, TCSANOW, &t);
    return true;
}

void SimProcess::useLine(int fd) {
    closePort();
    fd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

QString SimProcess::errorOutput() {
    QCoreApplication::processEvents();
    errors_ += QString::fromLocal8Bit(process_.readAllStandardError());
    return errors_;
}

void SimProcess::closePort() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void SimProcess::send(const Bytes& bytes) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else
            ::usleep(1000);
    }
}

Bytes SimProcess::receive(std::size_t count, int timeoutMs) const {
    Bytes got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < count && clock.elapsed() < timeoutMs) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0 && (p.revents & POLLIN)) {
            std::uint8_t buffer[512];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0)
                got.insert(got.end(), buffer, buffer + n);
        }
    }
    return got;
}

Bytes SimProcess::receiveBatch(int timeoutMs) const {
    Bytes got = receive(1, timeoutMs);
    for (Bytes more = receive(1, 50); !more.empty(); more = receive(1, 50))
        got.insert(got.end(), more.begin(), more.end());
    return got;
}

Bytes SimProcess::request(const Bytes& frame, int timeoutMs) const {
    send(frame);
    Bytes reply = receive(3, timeoutMs);
    if (reply.size() >= 3) {
        const Bytes rest = receive(reply[2] + 3u - reply.size(), timeoutMs);
        reply.insert(reply.end(), rest.begin(), rest.end());
    }
    return reply;
}

int SimProcess::terminate(int signal) {
    if (process_.state() == QProcess::NotRunning)
        return process_.exitCode();
    ::kill(static_cast<pid_t>(process_.processId()), signal);
    if (!process_.waitForFinished(5000))
        return -1;
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}
