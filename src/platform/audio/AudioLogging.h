#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcAudio)
Q_DECLARE_LOGGING_CATEGORY(lcSystemAudio)
Q_DECLARE_LOGGING_CATEGORY(lcSounds)
Q_DECLARE_LOGGING_CATEGORY(lcPermissions)
