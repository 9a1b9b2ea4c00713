#include "E2eFixture.h"

#include <QLabel>
#include <QThread>

TForm1& E2eTest::StartOn(const QString& device) {
    WriteFormState("[TForm1]\nCom_1_Checked=True\n[Ports]\nCOM1=" + device + "\n");
    return Start();
}

bool E2eTest::WaitFor(const std::function<bool()>& done, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void E2eTest::Spin(int ms) {
    WaitFor([] { return false; }, ms);
}

// The background of a status label, as #rrggbb.
QString E2eTest::Colour(const QString& labelName) const {
    const auto* label = Find<QLabel>(labelName);
    return label ? label->palette().color(QPalette::Window).name() : QString();
}
