#include "NetLog.h"

namespace quellix {

Q_LOGGING_CATEGORY(lcNet, "quellix.net", QtCriticalMsg)

} // namespace quellix
