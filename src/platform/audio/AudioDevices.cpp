#include "AudioDevices.h"

#include "AudioLogging.h"
#include "PulseClient.h"

#include <algorithm>

namespace orvanta {

QList<AudioInputDevice> AudioDevices::microphonesAmong(const std::vector<PulseSource> &sources) {
    QList<AudioInputDevice> devices;
    for (const PulseSource &source : sources) {
        if (!source.isMonitor)
            devices.append({source.name, source.description});
    }
    return devices;
}

std::optional<QString> AudioDevices::resolve(PulseClient &client, const QString &deviceUID) {
    const auto info = client.serverInfo();
    const auto sources = client.sources();
    if (!info || !sources)
        return std::nullopt;
    return choose(*sources, info->defaultSourceName, deviceUID);
}

std::optional<QString> AudioDevices::choose(const std::vector<PulseSource> &sources,
                                            const QString &defaultSource,
                                            const QString &deviceUID) {
    const auto microphoneNamed = [&sources](const QString &name) {
        return std::find_if(sources.begin(), sources.end(), [&name](const PulseSource &source) {
            return !source.isMonitor && source.name == name;
        });
    };
    if (deviceUID != defaultDeviceId && !deviceUID.isEmpty()) {
        if (microphoneNamed(deviceUID) != sources.end())
            return deviceUID;
        qCInfo(lcAudio).noquote() << QStringLiteral("Input") << deviceUID
                                  << QStringLiteral("is gone; recording from the default input");
    }
    if (microphoneNamed(defaultSource) != sources.end())
        return defaultSource;
    const auto firstMicrophone =
        std::find_if(sources.begin(), sources.end(),
                     [](const PulseSource &source) { return !source.isMonitor; });
    if (firstMicrophone == sources.end())
        return std::nullopt;
    return firstMicrophone->name;
}

} // namespace orvanta
