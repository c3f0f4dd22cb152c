#include "PlatformLogging.h"

Q_LOGGING_CATEGORY(lcLoginItem, "orvanta.loginitem", QtInfoMsg)
Q_LOGGING_CATEGORY(lcUpdater, "orvanta.updater", QtInfoMsg)
Q_LOGGING_CATEGORY(lcDesktop, "orvanta.desktop", QtInfoMsg)
Q_LOGGING_CATEGORY(lcTextInserter, "orvanta.textinserter", QtInfoMsg)
