#include "PortLog.h"

namespace quellix {

Q_LOGGING_CATEGORY(lcPort, "quellix.port", QtCriticalMsg)

} // namespace quellix
