// Diagnostics of the link driver; quiet unless enabled with QT_LOGGING_RULES.
#pragma once
#include <QLoggingCategory>

namespace quellix {

Q_DECLARE_LOGGING_CATEGORY(lcDriver)

} // namespace quellix
