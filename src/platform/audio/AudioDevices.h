#pragma once

#include "AudioInputDevice.h"

#include <QList>
#include <QString>

#include <optional>
#include <vector>

namespace orvanta {

class PulseClient;
struct PulseSource;

// The capture sources of the sound server. Monitors of outputs are not microphones and are
// left out everywhere.
class AudioDevices {
public:
    // Stands for the server's default source.
    static inline const QString defaultDeviceId = QStringLiteral("__default__");

    // The microphones among `sources`, in their order.
    static QList<AudioInputDevice> microphonesAmong(const std::vector<PulseSource> &sources);

    // The source to record from for a stored choice: the chosen source when it exists,
    // otherwise the server's default (or the first microphone when the default is a
    // monitor). Nothing when the server offers no microphone.
    static std::optional<QString> resolve(PulseClient &client, const QString &deviceUID);
    static std::optional<QString> choose(const std::vector<PulseSource> &sources,
                                         const QString &defaultSource, const QString &deviceUID);
};

} // namespace orvanta
