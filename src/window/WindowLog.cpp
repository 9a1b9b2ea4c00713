#include "WindowLog.h"

#include <QFile>
#include <QList>

#include <ctime>
#include <unistd.h>

namespace quellix {

Q_LOGGING_CATEGORY(lcWindow, "quellix.window", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcStartup, "quellix.startup", QtCriticalMsg)

namespace {
double ClockMs(clockid_t clock) {
    timespec now{};
    ::clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}
} // namespace

double MsSinceProcessStart() {
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The command name may hold blanks and parentheses: the fields are counted after its last ')'.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    constexpr int StartTimeField = 19; // field 22 of the whole line
    bool ok = false;
    const double ticks = fields.value(StartTimeField).toDouble(&ok);
    if (!ok)
        return -1;
    return ClockMs(CLOCK_BOOTTIME) - ticks * 1e3 / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double MonotonicMs() {
    return ClockMs(CLOCK_MONOTONIC);
}

} // namespace quellix
