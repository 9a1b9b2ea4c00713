// A child for the audit log's crash test: appends entries to the log named on its command line as fast
// as it can, saying "ready" once the first is in, until it is killed.
#include "AuditLog.h"

#include <cstdio>

using namespace quellix;

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const AuditLog log(QString::fromLocal8Bit(argv[1]));
    AuditEntry entry = NewAuditEntry(QStringLiteral("audit_writer"));
    entry.port = QStringLiteral("COM1");
    entry.sent = QStringLiteral("configuration");
    // Every field of a whole configuration, so that lines are long and some span two pages of the file.
    entry.changes = AuditChanges(nullptr, DefaultBlock());
    entry.result = QStringLiteral("done");
    QString error;
    for (long n = 0;; ++n) {
        entry.unitVersion = QString::number(n);
        if (!log.Append(entry, &error))
            return 1;
        if (n == 0) {
            std::puts("ready");
            std::fflush(stdout);
        }
    }
}
