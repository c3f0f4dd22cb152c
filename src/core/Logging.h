#pragma once

#include <QLoggingCategory>

// Categories a user can enable with QT_LOGGING_RULES="orvanta.*.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcAppState)
Q_DECLARE_LOGGING_CATEGORY(lcPreferences)
Q_DECLARE_LOGGING_CATEGORY(lcVocabulary)
Q_DECLARE_LOGGING_CATEGORY(lcHistory)
Q_DECLARE_LOGGING_CATEGORY(lcKeybindings)
