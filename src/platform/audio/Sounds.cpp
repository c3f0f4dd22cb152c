#include "Sounds.h"

#include "AudioLogging.h"
#include "PulseClient.h"
#include "SoundSynthesizer.h"

namespace orvanta {

namespace {

// More waiting sounds than this only happen when the server hangs; the rest are dropped.
constexpr std::size_t queueLimit = 4;
constexpr std::chrono::milliseconds serverTimeout{1000};

} // namespace

Sounds::Sounds()
    : m_thread([this] { run(); }) {}

Sounds::~Sounds() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

QString Sounds::sampleName(const QString &name) {
    return QStringLiteral("orvanta-") + name;
}

void Sounds::play(const QString &name) {
    if (!SoundSynthesizer::names().contains(name)) {
        qCDebug(lcSounds).noquote() << QStringLiteral("No sound named") << name;
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_queue.size() >= queueLimit)
            return;
        m_queue.push_back(name);
    }
    m_wake.notify_one();
}

void Sounds::run() {
    std::unique_lock lock(m_mutex);
    while (true) {
        m_wake.wait(lock, [this] { return m_quit || !m_queue.empty(); });
        if (m_quit)
            return;
        const QString name = m_queue.front();
        m_queue.pop_front();
        lock.unlock();
        playNow(name);
        lock.lock();
    }
}

void Sounds::playNow(const QString &name) {
    PulseClient client(serverTimeout);
    if (!client.connect()) {
        qCDebug(lcSounds).noquote() << QStringLiteral("Silent:") << client.errorText();
        return;
    }
    const QString sample = sampleName(name);
    bool missing = false;
    if (client.playSample(sample, &missing))
        return;
    if (missing &&
        client.uploadSample(sample, SoundSynthesizer::synthesize(name),
                            SoundSynthesizer::sampleRate) &&
        client.playSample(sample))
        return;
    qCDebug(lcSounds).noquote() << QStringLiteral("Cannot play") << name << client.errorText();
}

} // namespace orvanta
