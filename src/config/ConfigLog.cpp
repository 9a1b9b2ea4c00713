#include "ConfigLog.h"

namespace quellix {

Q_LOGGING_CATEGORY(lcConfig, "quellix.config", QtCriticalMsg)

} // namespace quellix
