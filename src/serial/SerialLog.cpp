#include "SerialLog.h"

Q_LOGGING_CATEGORY(lcSerial, "quellix.serial", QtCriticalMsg)
