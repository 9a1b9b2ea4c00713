// A real ser2net for tests and benchmarks, in front of a serial device (a simulator's pseudo-terminal):
// on a loopback port chosen free at run time, with the YAML configuration written for it in a scratch
// directory, and stopped when the object goes, so that nothing stays running.
#pragma once

#include "TempDir.h"

#include <QString>

#include <sys/types.h>

namespace quellix {

class Ser2net {
public:
    enum class Accepter { Raw, Rfc2217 };

    // Whether ser2net is installed (scripts/setup installs it).
    static bool Installed();

    Ser2net(const QString& device, Accepter accepter);
    ~Ser2net();
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;

    // Starts it, again on the same port after a stop, and waits until it listens; whether it does.
    bool start();
    // Stops it with SIGTERM, as a service manager would, and waits for it to end.
    void stop();

    quint16 port() const { return port_; }
    // tcp://127.0.0.1:PORT or rfc2217://127.0.0.1:PORT.
    QString url() const;
    // What it wrote to its standard output and error.
    QString log() const;

private:
    bool listening() const;

    TempDir dir_;
    Accepter accepter_;
    quint16 port_ = 0;
    pid_t pid_ = -1;
};

} // namespace quellix
