#include "Logging.h"

Q_LOGGING_CATEGORY(lcAppState, "orvanta.appstate", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPreferences, "orvanta.preferences", QtInfoMsg)
Q_LOGGING_CATEGORY(lcVocabulary, "orvanta.vocabulary", QtInfoMsg)
Q_LOGGING_CATEGORY(lcHistory, "orvanta.history", QtInfoMsg)
Q_LOGGING_CATEGORY(lcKeybindings, "orvanta.keybindings", QtInfoMsg)
