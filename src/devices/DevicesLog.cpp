#include "DevicesLog.h"

Q_LOGGING_CATEGORY(lcDevices, "quellix.devices", QtCriticalMsg)
