#include "SystemAudio.h"

#include "AudioLogging.h"
#include "PulseClient.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace orvanta {

namespace {

// A healthy local server answers within milliseconds.
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
    : m_stateFile(std::move(stateFile))
    , m_worker([this] { run(); }) {}

SystemAudio::~SystemAudio() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_worker.join();
}

void SystemAudio::muteIfNeeded() {
    post([this] { mute(); });
}

void SystemAudio::unmuteIfNeeded() {
    post([this] { unmute(); });
}

void SystemAudio::restoreAfterEarlierRun() {
    post([this] { restore(); });
}

void SystemAudio::post(std::function<void()> task) {
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_changed.notify_all();
}

void SystemAudio::flush() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_tasks.empty() && !m_busy; });
}

// Stops only once everything asked is done.
void SystemAudio::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_tasks.empty() || m_stopping; });
        if (m_tasks.empty())
            return;
        const std::function<void()> task = std::move(m_tasks.front());
        m_tasks.pop_front();
        m_busy = true;
        lock.unlock();
        task();
        lock.lock();
        m_busy = false;
        m_changed.notify_all();
    }
}

void SystemAudio::mute() {
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
    if (setMuted(client, info->defaultSinkName, true)) {
        m_mutedSink = info->defaultSinkName;
        m_didMute = true;
    } else {
        QFile::remove(m_stateFile);
    }
}

void SystemAudio::unmute() {
    if (m_mutedSink.isEmpty())
        return;
    PulseClient client(serverTimeout);
    if (!client.connect())
        logFailure(client.errorText());
    else
        setMuted(client, m_mutedSink, false);
    forgetMutedSink();
}

void SystemAudio::restore() {
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
    m_didMute = false;
    QFile::remove(m_stateFile);
}

} // namespace orvanta
