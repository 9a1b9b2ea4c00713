// A program a test runs beside itself, started with posix_spawn: QProcess starts its child with a
// vfork-like clone that shares this process's memory, where the child's calls run ThreadSanitizer's
// hooks on the parent's state and leave it reporting races that are none. Killed when it goes away.
#pragma once

#include "SignalProcess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStringList>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quellix {

class ChildProcess {
public:
    // Runs `program` (looked up on PATH); its output goes to `outputFile`.
    ChildProcess(const QString& program, const QStringList& args, const QString& outputFile = "/dev/null") {
        QList<QByteArray> strings{program.toLocal8Bit()};
        for (const QString& a : args)
            strings.append(a.toLocal8Bit());
        QList<char*> argv;
        for (QByteArray& s : strings)
            argv.append(s.data());
        argv.append(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, QFile::encodeName(outputFile).constData(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ChildProcess() {
        if (signal(SIGKILL))
            wait(5000);
    }

    bool running() const { return pid_ > 0 && !ended_; }
    bool signal(int signal) const { return running() && SignalProcess(pid_, signal); }
    // The exit code once it has ended, within `ms`; -1 when it ended otherwise or runs on.
    int wait(int ms) {
        QElapsedTimer clock;
        clock.start();
        for (int status = 0; running() && clock.elapsed() <= ms; ::usleep(5000)) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                ended_ = true;
                code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
        }
        return ended_ ? code_ : -1;
    }

private:
    pid_t pid_ = -1;
    bool ended_ = false;
    int code_ = -1;
};

} // namespace quellix
