#include "Ser2net.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace quellix {

namespace {

QString Program() {
    return QStandardPaths::findExecutable(QStringLiteral("ser2net"),
                                          {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
}

// A port the kernel has just handed out on loopback, so free now.
quint16 FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool Reap(pid_t pid, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    do {
        if (::waitpid(pid, nullptr, WNOHANG) == pid)
            return true;
        ::usleep(10 * 1000);
    } while (clock.elapsed() < timeoutMs);
    return false;
}

} // namespace

bool Ser2net::Installed() {
    return !Program().isEmpty();
}

Ser2net::Ser2net(const QString& device, Accepter accepter) : accepter_(accepter), port_(FreeLoopbackPort()) {
    const QString accept = accepter == Accepter::Raw ? QStringLiteral("tcp,127.0.0.1,%1")
                                                     : QStringLiteral("telnet(rfc2217),tcp,127.0.0.1,%1");
    // "local": the line's modem signals are not waited for; a pseudo-terminal has none. No chardelay: the
    // tool's own receive gap delimits replies, and ser2net's wait for more characters only adds to each.
    dir_.write(QStringLiteral("ser2net.yaml"), QStringLiteral("connection: &unit\n"
                                                              "  accepter: %1\n"
                                                              "  connector: serialdev,%2,9600n81,local\n"
                                                              "  options:\n    chardelay: false\n")
                                                   .arg(accept.arg(port_), device)
                                                   .toUtf8());
    start();
}

Ser2net::~Ser2net() {
    stop();
}

// Forked by hand rather than with QProcess, which ThreadSanitizer misreads (see SimProcess), so that
// the child can ask to be stopped when the test that started it dies: a test aborted by a sanitizer
// must not leave a server behind.
bool Ser2net::start() {
    if (pid_ > 0)
        return true;
    const std::string program = Program().toStdString(), config = dir_.file("ser2net.yaml").toStdString(),
                      pidFile = dir_.file("ser2net.pid").toStdString(), log = dir_.file("log").toStdString();
    // -n: stays in the foreground, our child; -u: no UUCP lock files outside the scratch directory.
    std::vector<std::string> args{program, "-n", "-u", "-c", config, "-P", pidFile};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();
    pid_ = program.empty() ? -1 : ::fork();
    if (pid_ == 0) {
        // Only async-signal-safe calls between fork and exec.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (::getppid() != parent || out < 0 || ::dup2(out, STDOUT_FILENO) < 0 ||
            ::dup2(out, STDERR_FILENO) < 0)
            ::_exit(127);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    QElapsedTimer clock;
    clock.start();
    while (pid_ > 0 && !listening() && clock.elapsed() < 5000) {
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_)
            pid_ = -1; // it could not start: its log says why
        ::usleep(5 * 1000);
    }
    return pid_ > 0 && listening();
}

void Ser2net::stop() {
    // Only our own child, and never an id that would reach a process group or every process.
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGTERM);
    if (!Reap(pid_, 5000)) {
        ::kill(pid_, SIGKILL);
        Reap(pid_, 5000);
    }
    pid_ = -1;
}

QString Ser2net::url() const {
    return (accepter_ == Accepter::Raw ? QStringLiteral("tcp://127.0.0.1:%1")
                                       : QStringLiteral("rfc2217://127.0.0.1:%1"))
        .arg(port_);
}

QString Ser2net::log() const {
    return QString::fromLocal8Bit(TempDir::read(dir_.file("log")));
}

// Looked up in the kernel's table rather than by connecting: a connection would be a client, for
// which ser2net opens the device.
bool Ser2net::listening() const {
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    // Local address 127.0.0.1 as the kernel prints it, and state 0A, listening.
    const QByteArray local =
        QByteArrayLiteral("0100007F:") + QByteArray::number(port_, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields[1] == local && fields[3] == "0A")
            return true;
    }
    return false;
}

} // namespace quellix
