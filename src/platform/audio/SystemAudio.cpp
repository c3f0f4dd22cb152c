#include "SystemAudio.h"

#include "AudioLogging.h"
#include "PulseClient.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace orvanta {

namespace {

// Runs on the main thread at the start and end of a recording.
constexpr std::chrono::milliseconds serverTimeout{1000};

void logFailure(const QString &error) {
    qCWarning(lcSystemAudio).noquote() << QStringLiteral("SystemAudio hata: ") + error;
}

QString defaultStateFile() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/Orvanta/muted-output");
}

bool setMuted(PulseClient &client, const QString &sink, bool muted) {
    if (client.setSinkMute(sink, muted))
        return true;
    logFailure(client.errorText());
    return false;
}

} // namespace

SystemAudio::SystemAudio()
    : SystemAudio(defaultStateFile()) {}

SystemAudio::SystemAudio(QString stateFile)
    : m_stateFile(std::move(stateFile)) {}

void SystemAudio::muteIfNeeded() {
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
    // An output whose state cannot be read counts as audible.
    if (client.sinkMute(info->defaultSinkName).value_or(false))
        return;
    // Written first: a crash right after the mute still finds it.
    QDir().mkpath(QFileInfo(m_stateFile).absolutePath());
    QSaveFile state(m_stateFile);
    if (state.open(QIODevice::WriteOnly)) {
        state.write(info->defaultSinkName.toUtf8());
        if (!state.commit())
            logFailure(state.errorString());
    }
    if (setMuted(client, info->defaultSinkName, true))
        m_mutedSink = info->defaultSinkName;
    else
        QFile::remove(m_stateFile);
}

void SystemAudio::unmuteIfNeeded() {
    if (m_mutedSink.isEmpty())
        return;
    PulseClient client(serverTimeout);
    if (!client.connect())
        logFailure(client.errorText());
    else
        setMuted(client, m_mutedSink, false);
    forgetMutedSink();
}

void SystemAudio::restoreAfterEarlierRun() {
    QFile state(m_stateFile);
    if (!state.open(QIODevice::ReadOnly))
        return;
    const QString sink = QString::fromUtf8(state.readAll()).trimmed();
    state.close();
    PulseClient client(serverTimeout);
    if (sink.isEmpty() || !client.connect())
        return; // kept for a start that finds the server
    if (client.sinkMute(sink).value_or(false)) {
        qCInfo(lcSystemAudio).noquote() << "Unmuting" << sink << "muted by an earlier run";
        setMuted(client, sink, false);
    }
    QFile::remove(m_stateFile);
}

void SystemAudio::forgetMutedSink() {
    m_mutedSink.clear();
    QFile::remove(m_stateFile);
}

} // namespace orvanta
