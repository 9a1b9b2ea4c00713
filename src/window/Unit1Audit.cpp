// The audit line of each "Send to unit": the log is checked before the upload, and when it cannot take
// a line the user chooses whether to send without one; the line follows the upload's end. The old values
// are those of the last configuration read from the unit on this port.
#include "Unit1.h"

#include "WindowLog.h"

namespace quellix {

void TForm1::connectAudit() {
    connect(&link_, &LinkDriver::sequenceEnded, this,
            [this](LinkSequence sequence, StepOutcome outcome, int step) {
                if (sequence == LinkSequence::Download && outcome == StepOutcome::Complete)
                    lastRead_ = Block;
                else if (sequence == LinkSequence::Upload)
                    FinishAudit(outcome, step);
            });
    // Another port may lead to another unit.
    connect(&session_, &PortSession::portChanged, this, [this] { lastRead_.reset(); });
}

bool TForm1::StartAudit(const QString& sent, const QString& record) {
    pendingAudit_.reset();
    QString error;
    if (!AuditLog::Default().Check(&error) &&
        !Dialogs->Ask(this, QStringLiteral("The audit trail cannot record this write to the unit."),
                      error + QStringLiteral("\n\nSend to unit without an audit line?")))
        return false;
    UnitWrite write;
    write.tool = QStringLiteral("quellix");
    write.port =
        session_.comNumber() > 0 ? QStringLiteral("COM%1").arg(session_.comNumber()) : session_.devicePath();
    write.device = session_.devicePath();
    write.unitVersion = UnitVersionOf(link_.version());
    write.sent = sent;
    write.record = record;
    write.before = lastRead_;
    write.block = Block;
    if (error.isEmpty())
        pendingAudit_ = write;
    return true;
}

void TForm1::FinishAudit(StepOutcome outcome, int step) {
    if (!pendingAudit_)
        return;
    const UnitWrite write = *pendingAudit_;
    pendingAudit_.reset();
    QString result = QStringLiteral("done");
    if (outcome == StepOutcome::Error)
        result = QStringLiteral("error: step %1 unanswered").arg(step);
    else if (outcome == StepOutcome::Aborted)
        result = QStringLiteral("aborted");
    // Once sent, the unit holds it: it is the configuration the next write changes.
    if (outcome == StepOutcome::Complete)
        lastRead_ = write.block;
    QString error;
    if (!AuditUnitWrite(write, result, &error)) {
        qCWarning(lcWindow).noquote() << error;
        ShowMessage(QStringLiteral("The write to the unit was not recorded in the audit trail."), error);
    }
}

} // namespace quellix
