#include "X11Logging.h"

Q_LOGGING_CATEGORY(lcX11, "orvanta.x11", QtInfoMsg)
