// Diagnostics of the network ports; quiet unless enabled with QT_LOGGING_RULES="quellix.net.debug=true".
#pragma once
#include <QLoggingCategory>

namespace quellix {

Q_DECLARE_LOGGING_CATEGORY(lcNet)

} // namespace quellix
