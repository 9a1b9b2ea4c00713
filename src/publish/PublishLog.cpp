#include "PublishLog.h"

namespace quellix {

Q_LOGGING_CATEGORY(lcPublish, "quellix.publish", QtCriticalMsg)

} // namespace quellix
