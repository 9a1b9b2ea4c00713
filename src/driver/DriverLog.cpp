#include "DriverLog.h"

namespace quellix {

Q_LOGGING_CATEGORY(lcDriver, "quellix.driver", QtCriticalMsg)

} // namespace quellix
