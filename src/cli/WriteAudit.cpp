#include "WriteAudit.h"

#include "UnitWriteAudit.h"

namespace quellix {

namespace {

QString ResultText(int status, int stopSignal) {
    if (stopSignal != 0)
        return QStringLiteral("stopped by signal %1").arg(stopSignal);
    switch (status) {
    case ExitDone:
        return QStringLiteral("done");
    case ExitDifferences:
        return QStringLiteral("the unit holds something else than was sent");
    case ExitNoAnswer:
        return QStringLiteral("the unit did not answer");
    case ExitPortNotOpened:
        return QStringLiteral("the device went away");
    default:
        return QStringLiteral("failed with exit status %1").arg(status);
    }
}

} // namespace

int WriteAudit::check() {
    QString error;
    if (!enabled_ || AuditLog::Default().Check(&error))
        return ExitDone;
    return output_.fail(ExitFileError,
                        error + QStringLiteral("; nothing was written to the unit (--no-audit writes "
                                               "without the audit line)"));
}

int WriteAudit::finish(const QString& unitVersion, const ConfigBlock& block, int status, int stopSignal) {
    if (!enabled_)
        return status;
    UnitWrite write;
    write.tool = QStringLiteral("quellix-cli");
    write.port = port_.name;
    write.device = port_.device;
    write.unitVersion = unitVersion;
    write.sent = QStringLiteral("write ") + file_;
    write.block = block;
    QString error;
    if (AuditUnitWrite(write, ResultText(status, stopSignal), &error))
        return status;
    output_.fail(ExitFileError, QStringLiteral("the audit line of this write was not written: ") + error);
    return status == ExitDone ? int(ExitFileError) : status;
}

} // namespace quellix
