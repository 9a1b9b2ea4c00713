// Diagnostics of the main window; quiet unless enabled with QT_LOGGING_RULES.
#pragma once
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcWindow)
