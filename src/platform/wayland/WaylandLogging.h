#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcWayland)
Q_DECLARE_LOGGING_CATEGORY(lcEvdev)
Q_DECLARE_LOGGING_CATEGORY(lcGlobalShortcuts)
Q_DECLARE_LOGGING_CATEGORY(lcDesktopShortcuts)
