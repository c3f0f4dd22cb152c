#include "AudioLogging.h"

Q_LOGGING_CATEGORY(lcAudio, "orvanta.audio", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSystemAudio, "orvanta.systemaudio", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSounds, "orvanta.sounds", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPermissions, "orvanta.permissions", QtInfoMsg)
