#include "E2eFixture.h"

#include <QEventLoop>
#include <QLabel>
#include <QTimer>

namespace quellix {

Q_LOGGING_CATEGORY(lcE2eTiming, "quellix.e2e.timing", QtWarningMsg)

TForm1& E2eTest::StartOn(const QString& device) {
    WriteFormState("[TForm1]\nCom_1_Checked=True\n[Ports]\nCOM1=" + device + "\n");
    return Start();
}

// A nested event loop that looks at the condition every few milliseconds, so waiting costs no CPU
// of its own (the fault tests measure the process's CPU time).
bool E2eTest::WaitFor(const std::function<bool()>& done, int timeoutMs) {
    if (done())
        return true;
    const QDeadlineTimer deadline(timeoutMs);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || deadline.hasExpired())
            loop.quit();
    });
    poll.start(5);
    loop.exec();
    return done();
}

void E2eTest::Spin(int ms) {
    WaitFor([] { return false; }, ms);
}

// The background of a status label, as #rrggbb.
QString E2eTest::Colour(const QString& labelName) const {
    const auto* label = Find<QLabel>(labelName);
    return label ? label->palette().color(QPalette::Window).name() : QString();
}

} // namespace quellix
