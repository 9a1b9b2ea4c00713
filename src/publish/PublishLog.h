// Diagnostics of the publisher (broker connection, queue, metrics); quiet unless enabled with
// QT_LOGGING_RULES="quellix.publish.debug=true".
#pragma once
#include <QLoggingCategory>

namespace quellix {

Q_DECLARE_LOGGING_CATEGORY(lcPublish)

} // namespace quellix
