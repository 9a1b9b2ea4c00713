#include "WindowLog.h"

Q_LOGGING_CATEGORY(lcWindow, "quellix.window", QtCriticalMsg)
