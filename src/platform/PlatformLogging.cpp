#include "PlatformLogging.h"

Q_LOGGING_CATEGORY(lcLoginItem, "orvanta.loginitem", QtInfoMsg)
