#include "SystemAudio.h"

#include "AudioLogging.h"
#include "PulseClient.h"

namespace orvanta {

namespace {

// Runs on the main thread at the start and end of a recording.
constexpr std::chrono::milliseconds serverTimeout{1000};

void logFailure(const QString &error) {
    qCWarning(lcSystemAudio).noquote() << QStringLiteral("SystemAudio hata: ") + error;
}

} // namespace

void SystemAudio::muteIfNeeded() {
    if (currentlyMuted()) {
        m_didMute = false;
        return;
    }
    setMuted(true);
    m_didMute = true;
}

void SystemAudio::unmuteIfNeeded() {
    if (!m_didMute)
        return;
    setMuted(false);
    m_didMute = false;
}

bool SystemAudio::currentlyMuted() {
    PulseClient client(serverTimeout);
    if (!client.connect())
        return false;
    const auto info = client.serverInfo();
    if (!info)
        return false;
    return client.sinkMute(info->defaultSinkName).value_or(false);
}

void SystemAudio::setMuted(bool muted) {
    PulseClient client(serverTimeout);
    if (!client.connect()) {
        logFailure(client.errorText());
        return;
    }
    const auto info = client.serverInfo();
    if (!info || info->defaultSinkName.isEmpty()) {
        logFailure(QStringLiteral("no default output"));
        return;
    }
    if (!client.setSinkMute(info->defaultSinkName, muted))
        logFailure(client.errorText());
}

} // namespace orvanta
