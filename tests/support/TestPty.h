// A pseudo-terminal whose slave the code under test opens by its path; the test holds only the master,
// which closes with it. Closing the master while only the code under test holds the slave hangs the
// line up, as unplugging an adapter does.
#pragma once

#include <QString>

#include <pty.h>
#include <stdexcept>
#include <unistd.h>

namespace quellix {

class TestPty {
public:
    TestPty() {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master_, &slave, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        ::close(slave);
        path_ = QString::fromLocal8Bit(name);
    }
    ~TestPty() { closeMaster(); }
    TestPty(const TestPty&) = delete;
    TestPty& operator=(const TestPty&) = delete;

    QString path() const { return path_; }
    int master() const { return master_; }
    void closeMaster() {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    QString path_;
};

} // namespace quellix
