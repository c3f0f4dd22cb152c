#include "ServiceLogging.h"

Q_LOGGING_CATEGORY(lcService, "orvanta.service", QtInfoMsg)
Q_LOGGING_CATEGORY(lcBackend, "orvanta.service.backend", QtInfoMsg)
