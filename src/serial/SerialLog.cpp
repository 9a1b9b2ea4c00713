#include "SerialLog.h"

namespace quellix {

Q_LOGGING_CATEGORY(lcSerial, "quellix.serial", QtCriticalMsg)

} // namespace quellix
