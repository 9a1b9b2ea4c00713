#include "ConfigLog.h"

Q_LOGGING_CATEGORY(lcConfig, "quellix.config", QtCriticalMsg)
