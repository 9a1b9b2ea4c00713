#include "DevicesLog.h"

namespace quellix {

Q_LOGGING_CATEGORY(lcDevices, "quellix.devices", QtCriticalMsg)

} // namespace quellix
