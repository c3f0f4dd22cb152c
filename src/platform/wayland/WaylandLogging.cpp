#include "WaylandLogging.h"

Q_LOGGING_CATEGORY(lcWayland, "orvanta.wayland", QtInfoMsg)
