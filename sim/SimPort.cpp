#include "SimPort.h"

#include "BlockFile.h"
#include "Frames.h"
#include "SimControl.h"
#include "SimListen.h"
#include "TtyOpen.h"
#include "UniqueFd.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace quellix {

namespace {

using Clock = std::chrono::steady_clock;

void makeRaw(int fd, bool realDevice) {
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return;
    cfmakeraw(&t);
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (realDevice) {
        t.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
        cfsetispeed(&t, B9600);
        cfsetospeed(&t, B9600);
    }
    tcsetattr(fd, TCSANOW, &t);
}

class Line {
public:
    // `signals`: the stop signals' descriptor, which ends every wait at once.
    Line(const SimOptions& o, int signals) : options_(o), signals_(signals), start_(Clock::now()) {}

    double Seconds() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

    void Log(const char* direction, const Bytes& frame, const char* note = "") const {
        if (!options_.log)
            return;
        std::string hex;
        char b[4];
        for (const std::uint8_t byte : frame) {
            std::snprintf(b, sizeof b, " %02X", byte);
            hex += b;
        }
        std::fprintf(stderr, "%10.3f %s%s%s\n", Seconds(), direction, hex.c_str(), note);
    }

    void Note(const char* what) const {
        if (options_.log)
            std::fprintf(stderr, "%10.3f %s\n", Seconds(), what);
    }

    void LogControl(const std::string& command) const {
        if (options_.log)
            std::fprintf(stderr, "%10.3f control %s\n", Seconds(), command.c_str());
    }

    // Writes all bytes, waiting while the line is full.
    void WriteAll(int fd, const std::uint8_t* data, std::size_t count) const {
        while (count > 0) {
            const ssize_t n = ::write(fd, data, count);
            if (n > 0) {
                data += n;
                count -= static_cast<std::size_t>(n);
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd p{fd, POLLOUT, 0};
                ::poll(&p, 1, 100);
            } else {
                return;
            }
        }
    }

    // False when a stop signal came meanwhile: the reply is then not sent. `delayed`: the reply delay
    // holds this reply.
    bool SendReply(int fd, const Bytes& reply, bool delayed = true) const {
        if (delayed && options_.replyDelayMs > 0 && !Wait(std::chrono::milliseconds(options_.replyDelayMs)))
            return false;
        if (options_.pace) {
            auto due = Clock::now();
            for (const std::uint8_t byte : reply) {
                std::this_thread::sleep_until(due);
                WriteAll(fd, &byte, 1);
                due += std::chrono::microseconds(1042); // 10 bits at 9600 bit/s
            }
        } else if (options_.splitReplies && reply.size() > 1) {
            const std::size_t half = reply.size() / 2;
            WriteAll(fd, reply.data(), half);
            if (!Wait(std::chrono::milliseconds(150)))
                return false;
            WriteAll(fd, reply.data() + half, reply.size() - half);
        } else {
            WriteAll(fd, reply.data(), reply.size());
        }
        Log("out", reply);
        return true;
    }

private:
    // Waits, but not past a stop signal, which stays pending for the serving loop to see.
    bool Wait(std::chrono::milliseconds duration) const {
        const auto until = Clock::now() + duration;
        for (auto now = Clock::now(); now < until; now = Clock::now()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now);
            pollfd p{signals_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) > 0 && (p.revents & POLLIN))
                return false;
        }
        return true;
    }

    const SimOptions& options_;
    int signals_;
    Clock::time_point start_;
};

// Replaces a link left by an earlier run, but never a file that is not a link.
void removeOldLink(const std::string& link) {
    struct stat st {};
    if (::lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        ::unlink(link.c_str());
}

// Leaves a link that a later simulator has taken over in place.
void removeOwnLink(const std::string& link, const std::string& target) {
    char text[4096];
    const ssize_t n = ::readlink(link.c_str(), text, sizeof text);
    if (n > 0 && std::string(text, static_cast<std::size_t>(n)) == target)
        ::unlink(link.c_str());
}

std::string DeviceRefusal(const TtyOpen& device) {
    switch (device.failure) {
    case TtyOpenFailure::NotATty:
        return "not a serial device";
    case TtyOpenFailure::Locked:
        if (device.error == EWOULDBLOCK)
            return "in use by another program";
        break;
    default:
        break;
    }
    return std::strerror(device.error);
}

int openSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return signalfd(-1, &set, SFD_CLOEXEC);
}

bool storeState(const SimOptions& o, const SimUnit& unit) {
    if (o.stateFile.empty())
        return true;
    bool stored = true;
    SaveBlockFile(unit.State(), QString::fromStdString(o.stateFile), [&stored](const QString& m) {
        stored = false;
        std::cerr << "quellix-sim: " << m.toStdString() << '\n';
    });
    return stored;
}

struct Counts {
    long requests = 0;
    long replies = 0;
};

// Where the control commands come from: a FIFO, made when missing and then removed at exit, or standard
// input. Opened for writing too, so that the FIFO never reads as ended when a writer closes it.
class ControlInput {
public:
    ControlInput() = default;
    ControlInput(const ControlInput&) = delete;
    ControlInput& operator=(const ControlInput&) = delete;
    ~ControlInput() {
        if (!made_.empty())
            ::unlink(made_.c_str());
    }

    // False with the reason when `path` cannot be used.
    bool Open(const std::string& path, std::string& error) {
        if (path == "-") {
            fd_ = STDIN_FILENO;
            return true;
        }
        if (::mkfifo(path.c_str(), 0600) == 0)
            made_ = path;
        else if (errno != EEXIST) {
            error = std::strerror(errno);
            return false;
        }
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISFIFO(st.st_mode)) {
            error = "not a FIFO";
            return false;
        }
        owned_ = UniqueFd(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
        fd_ = owned_.Get();
        if (fd_ < 0)
            error = std::strerror(errno);
        return fd_ >= 0;
    }

    int Fd() const { return fd_; }

    // Carries out every whole line that has come; standard input at its end is read no more.
    void Read(SimUnit& unit, ControlState& state, const Line& line) {
        char buffer[4096];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            fd_ = -1;
            return;
        }
        if (n < 0)
            return;
        lines_.Feed(buffer, static_cast<std::size_t>(n));
        for (std::string command; lines_.Next(command);) {
            const std::string why = ApplyControl(command, unit.Inputs(), state, line.Seconds());
            if (why.empty())
                line.LogControl(command);
            else
                std::cerr << "quellix-sim: control: " << command << ": " << why << std::endl;
        }
    }

private:
    UniqueFd owned_;
    int fd_ = -1;
    std::string made_;
    ControlLines lines_;
};

// False when a stop signal ended it.
bool serveRequests(const SimOptions& o, SimUnit& unit, const Line& line, RequestAssembler& requests, int fd,
                   Counts& counts, const ControlState& control) {
    while (auto frame = requests.Next()) {
        const long requestCount = ++counts.requests;
        if (o.mute || control.muted || (o.dropEvery > 0 && requestCount % o.dropEvery == 0)) {
            line.Log("in ", *frame, "  (left unanswered)");
            continue;
        }
        if (o.advanceEvery > 0 && requestCount % o.advanceEvery == 0) {
            line.Log("in ", *frame, "  (answered with 'T')");
            if (!line.SendReply(fd, BuildCommand('T')))
                return false;
            continue;
        }
        const auto reply = unit.Handle(*frame, line.Seconds());
        // The store is acknowledged only once the state is on disk: a unit that could not keep it
        // must not report success, so the tool's resends and " Error " show the failure.
        if (reply && unit.TakeStoreRequest() && !storeState(o, unit)) {
            line.Log("in ", *frame, "  (store failed, left unanswered)");
            continue;
        }
        line.Log("in ", *frame);
        if (!reply)
            continue;
        // Line noise after a reply: the tool drops the whole batch and resends the request.
        Bytes sent = *reply;
        if (o.garbleEvery > 0 && ++counts.replies % o.garbleEvery == 0)
            sent.push_back(0x00);
        if (!line.SendReply(fd, sent, requestCount % o.delayEvery == 0))
            return false;
    }
    return true;
}

// How serving a line ended.
enum class Served { Stopped, Failed, ClientLeft };

// Serves until a stop signal, and a network client (with its `listener`) until it leaves; a second client
// that comes meanwhile is refused. A partial request that sits through 500 ms of silence is dropped, so
// a stray 0x01 cannot hold up the requests after it. Control commands are carried out before the requests
// that came with them, so a request sent after a command is answered with the command in force.
Served serve(const SimOptions& o, SimUnit& unit, const Line& line, int fd, int signals,
             ControlInput& commands, ControlState& control, int listener = -1) {
    RequestAssembler requests;
    Counts counts;
    const bool client = listener >= 0;
    for (;;) {
        pollfd fds[4] = {
            {fd, POLLIN, 0}, {signals, POLLIN, 0}, {commands.Fd(), POLLIN, 0}, {listener, POLLIN, 0}};
        const int ready = ::poll(fds, 4, requests.HasPartial() ? 500 : -1);
        if (ready < 0 && errno != EINTR)
            return Served::Failed;
        if (fds[1].revents & POLLIN)
            return Served::Stopped;
        if (fds[2].revents & (POLLIN | POLLHUP))
            commands.Read(unit, control, line);
        if (client && (fds[3].revents & POLLIN))
            RefuseClient(listener);
        if (ready == 0) {
            requests.DropPartial();
            continue;
        }
        if (fds[0].revents & POLLIN) {
            std::uint8_t buffer[4096];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                requests.Feed(buffer, static_cast<std::size_t>(n));
                if (!serveRequests(o, unit, line, requests, fd, counts, control))
                    return Served::Stopped;
                continue;
            }
            if (client && (n == 0 || (errno != EAGAIN && errno != EINTR)))
                return Served::ClientLeft;
        }
        if (client && (fds[0].revents & (POLLHUP | POLLERR)))
            return Served::ClientLeft;
        // A hang-up while nobody holds the line is normal; wait instead of spinning on it.
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
            ::poll(&fds[1], 1, 100);
    }
}

int exitCode(Served served) {
    return served == Served::Failed ? 1 : 0;
}

// Serves one client after the other until a stop signal.
int serveClients(const SimOptions& o, SimUnit& unit, int signals, ControlInput& commands,
                 ControlState& control) {
    std::string error;
    const auto listener = OpenListener(o.listen, error);
    if (!listener) {
        std::cerr << "quellix-sim: " << error << '\n';
        return 1;
    }
    std::cout << listener->address << std::endl;
    const Line line(o, signals);
    for (;;) {
        pollfd fds[2] = {{listener->fd.Get(), POLLIN, 0}, {signals, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return 1;
        if (fds[1].revents & POLLIN)
            return 0;
        if (!(fds[0].revents & POLLIN))
            continue;
        const UniqueFd client = AcceptClient(listener->fd.Get());
        if (!client.IsValid())
            continue;
        line.Note("client connected");
        const Served served =
            serve(o, unit, line, client.Get(), signals, commands, control, listener->fd.Get());
        if (served != Served::ClientLeft)
            return exitCode(served);
        line.Note("client left");
    }
}

} // namespace

int RunSimulator(const SimOptions& o, SimUnit& unit) {
    const UniqueFd signals(openSignals());
    ControlInput commands;
    if (std::string why; !o.control.empty() && !commands.Open(o.control, why)) {
        std::cerr << "quellix-sim: cannot take commands from " << o.control << ": " << why << '\n';
        return 1;
    }
    ControlState control;
    if (!o.listen.empty())
        return serveClients(o, unit, signals.Get(), commands, control);
    if (!o.device.empty()) {
        // Opened and locked as the tool opens its port, so the two never share one device.
        const TtyOpen device = OpenTtyExclusive(o.device.c_str());
        if (device.failure != TtyOpenFailure::None) {
            std::cerr << "quellix-sim: cannot open " << o.device << ": " << DeviceRefusal(device) << '\n';
            return 1;
        }
        makeRaw(device.fd.Get(), true);
        std::cout << o.device << std::endl;
        return exitCode(
            serve(o, unit, Line(o, signals.Get()), device.fd.Get(), signals.Get(), commands, control));
    }

    int master = -1, slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        std::cerr << "quellix-sim: cannot open a pseudo-terminal: " << std::strerror(errno) << '\n';
        return 1;
    }
    // Holding the slave open keeps the master from seeing a hang-up each time the tool closes the port.
    const UniqueFd masterFd(master), slaveFd(slave);
    makeRaw(slave, false);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    const std::string path = ::ttyname(slave);
    if (!o.link.empty()) {
        removeOldLink(o.link);
        if (::symlink(path.c_str(), o.link.c_str()) != 0) {
            std::cerr << "quellix-sim: cannot link " << o.link << ": " << std::strerror(errno) << '\n';
            return 1;
        }
    }
    std::cout << path << std::endl;
    const int code =
        exitCode(serve(o, unit, Line(o, signals.Get()), master, signals.Get(), commands, control));
    if (!o.link.empty())
        removeOwnLink(o.link, path);
    return code;
}

} // namespace quellix
