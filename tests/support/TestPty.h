// A pseudo-terminal whose slave the code under test opens by its path; the test holds only the master,
// which closes with it.
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
    ~TestPty() { ::close(master_); }
    TestPty(const TestPty&) = delete;
    TestPty& operator=(const TestPty&) = delete;

    QString path() const { return path_; }

private:
    int master_ = -1;
    QString path_;
};

} // namespace quellix
