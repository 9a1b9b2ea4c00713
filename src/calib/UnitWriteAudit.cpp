#include "UnitWriteAudit.h"

namespace quellix {

bool AuditUnitWrite(const UnitWrite& write, const QString& result, QString* error, const AuditLog& log) {
    AuditEntry entry = NewAuditEntry(write.tool);
    entry.port = write.port;
    entry.device = write.device;
    entry.unitVersion = write.unitVersion;
    entry.sent = write.sent;
    entry.record = write.record;
    entry.changes = AuditChanges(write.before ? &*write.before : nullptr, write.block);
    entry.result = result;
    return log.Append(entry, error);
}

QString UnitVersionOf(const QString& caption) {
    static const QString prefix = QStringLiteral("Software version: ");
    return caption.startsWith(prefix) ? caption.mid(prefix.size()) : caption;
}

} // namespace quellix
