// Diagnostics of the serial component; quiet unless enabled with QT_LOGGING_RULES.
#pragma once
#include <QLoggingCategory>

namespace quellix {

Q_DECLARE_LOGGING_CATEGORY(lcSerial)

} // namespace quellix
