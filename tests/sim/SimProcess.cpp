#include "SimProcess.h"

#include <QElapsedTimer>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace quellix {

namespace {

std::vector<std::string> Arguments(const QStringList& args) {
    std::vector<std::string> out{QUELLIX_SIM_PATH};
    for (const QString& a : args)
        out.push_back(a.toStdString());
    return out;
}

} // namespace

// Spawned with posix_spawn rather than QProcess: QProcess starts the child with a vfork-like clone that
// shares this process's memory, where the child's calls run ThreadSanitizer's hooks on the parent's
// state and leave it reporting races in the port's workers that are none.
SimProcess::SimProcess(const QStringList& args, Port port, int input) {
    spawn(args, input);
    if (pid_ < 0)
        return;
    path_ = readFirstLine(5000);
    started_ = !path_.isEmpty() && (port == Port::LeaveClosed || openPort());
}

SimProcess::~SimProcess() {
    closePort();
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        reap(5000);
    }
    if (outFd_ >= 0)
        ::close(outFd_);
}

void SimProcess::spawn(const QStringList& args, int input) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    if (input >= 0)
        posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    const std::string errorFile = dir_.file("stderr").toStdString();
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<std::string> arguments = Arguments(args);
    std::vector<char*> argv;
    for (std::string& a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    outFd_ = out[0];
}

QString SimProcess::readFirstLine(int timeoutMs) const {
    std::string line;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        pollfd p{outFd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        char c;
        if (::read(outFd_, &c, 1) != 1 || c == '\n')
            break;
        line += c;
    }
    return QString::fromLocal8Bit(line).trimmed();
}

// Waits without running the event loop: the simulator is stopped from destructors and between a test's
// steps, where the window under test must not move on meanwhile.
bool SimProcess::reap(int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    do {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            exitStatus_ = status;
            pid_ = -1;
            return true;
        }
        ::usleep(10 * 1000);
    } while (clock.elapsed() < timeoutMs);
    return false;
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

QString SimProcess::errorOutput() const {
    return QString::fromLocal8Bit(TempDir::read(dir_.file("stderr")));
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
    if (pid_ > 0) {
        ::kill(pid_, signal);
        if (!reap(5000))
            return -1;
    }
    return WIFEXITED(exitStatus_) ? WEXITSTATUS(exitStatus_) : -1;
}

} // namespace quellix
