// A pseudo-terminal for tests: the code under test opens the slave by its path, the test is the far
// end of the line on the master. Closing the master hangs the line up, as unplugging an adapter does.
#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

namespace quellix {

class TestPty {
public:
    // Master: only the code under test holds the slave. MasterAndSlave: the test keeps a slave
    // descriptor too, to read or set the line's settings, and so that the master never reads as ended
    // while the code under test has the line closed.
    enum class Ends { Master, MasterAndSlave };

    // Generous: the tests run beside other builds on a shared machine.
    static constexpr std::chrono::milliseconds DefaultBound{20000};

    explicit TestPty(Ends ends = Ends::Master);
    ~TestPty();
    TestPty(const TestPty&) = delete;
    TestPty& operator=(const TestPty&) = delete;

    QString path() const { return path_; }
    // Non-blocking and closed on exec, as is the slave descriptor kept; -1 once closed.
    int master() const { return master_; }
    int slave() const { return slave_; }
    // Closes the test's ends of the line: the code under test sees its device vanish.
    void closeMaster();

    // Writes all of `bytes` unless the bound passes first or the line fails; whether all went.
    bool write(const QByteArray& bytes, std::chrono::milliseconds bound = DefaultBound) const;
    // What the master holds now, without waiting.
    QByteArray readAvailable() const;
    // Reads until `count` bytes have come or the bound has passed. Waits in poll without running the
    // event loop: the code under test writes from threads of its own, and a test may keep its
    // notifications queued meanwhile.
    QByteArray read(qsizetype count, std::chrono::milliseconds bound = DefaultBound) const;
    // Everything that comes within `period`, without running the event loop.
    QByteArray readFor(std::chrono::milliseconds period) const;
    // Reads until `count` bytes have come or the bound has passed, with the event loop running, so
    // that timers and notifiers of the code under test go on.
    QByteArray readWhileEventsRun(qsizetype count, int boundMs = 10000) const;

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
};

} // namespace quellix
