#include "SettingsLog.h"

namespace quellix {

Q_LOGGING_CATEGORY(lcSettings, "quellix.settings", QtCriticalMsg)

} // namespace quellix
