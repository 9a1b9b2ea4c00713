// End-to-end tests: the real main window, headless, with its real serial port opened on a
// pseudo-terminal whose other end is a scripted peer or the simulated unit. They wait with
// QTest::qWaitFor and QTest::qWait, which sleep between looks and so add no CPU time of their own
// to what the fault tests measure.
#pragma once

#include "PtyPeer.h"
#include "WindowFixture.h"

#include <QLoggingCategory>
#include <QTest>

namespace quellix {

// Times the tests measure on the wire, for a look at how exact the timers are; quiet unless enabled
// with QT_LOGGING_RULES="quellix.e2e.timing.info=true".
Q_DECLARE_LOGGING_CATEGORY(lcE2eTiming)

class E2eTest : public WindowTest {
protected:
    // Starts the window with COM1 mapped to `device` and checked, so start-up opens it.
    TForm1& StartOn(const QString& device);
    QString Colour(const QString& labelName) const;
};

} // namespace quellix
