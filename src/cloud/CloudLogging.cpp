#include "CloudLogging.h"

Q_LOGGING_CATEGORY(lcTranscriber, "orvanta.transcriber", QtInfoMsg)
Q_LOGGING_CATEGORY(lcAuth, "orvanta.auth", QtInfoMsg)
Q_LOGGING_CATEGORY(lcKeychain, "orvanta.keychain", QtInfoMsg)
