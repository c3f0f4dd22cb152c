#include "WaylandLogging.h"

Q_LOGGING_CATEGORY(lcWayland, "orvanta.wayland", QtInfoMsg)
Q_LOGGING_CATEGORY(lcEvdev, "orvanta.evdev", QtInfoMsg)
Q_LOGGING_CATEGORY(lcGlobalShortcuts, "orvanta.globalshortcuts", QtInfoMsg)
Q_LOGGING_CATEGORY(lcDesktopShortcuts, "orvanta.desktopshortcuts", QtInfoMsg)
