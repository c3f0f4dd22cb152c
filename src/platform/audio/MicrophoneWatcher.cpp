#include "MicrophoneWatcher.h"

#include "AudioDevices.h"
#include "AudioLogging.h"
#include "PulseClient.h"

#include <pulse/context.h>
#include <pulse/operation.h>
#include <pulse/subscribe.h>

namespace orvanta {

namespace {

// A healthy local server answers within milliseconds; a hanging one is given up on soon.
constexpr std::chrono::milliseconds serverTimeout{500};

} // namespace

MicrophoneWatcher::MicrophoneWatcher()
    : m_thread([this] { run(); }) {}

MicrophoneWatcher::~MicrophoneWatcher() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        if (m_client)
            m_client->wakeUp();
    }
    m_changed.notify_all();
    m_thread.join();
}

bool MicrophoneWatcher::isAvailable(std::chrono::milliseconds firstWait) {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, firstWait, [this] { return m_answered; });
    return m_available;
}

void MicrophoneWatcher::retryIfDisconnected() {
    if (m_connected)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_retry = true;
    }
    m_changed.notify_all();
}

QList<AudioInputDevice> MicrophoneWatcher::microphones() {
    std::lock_guard lock(m_mutex);
    return m_microphones;
}

void MicrophoneWatcher::answer(QList<AudioInputDevice> microphones) {
    m_available = !microphones.isEmpty();
    {
        std::lock_guard lock(m_mutex);
        m_microphones = std::move(microphones);
        m_answered = true;
    }
    m_changed.notify_all();
}

void MicrophoneWatcher::run() {
    for (;;) {
        {
            PulseClient client(serverTimeout);
            {
                std::lock_guard lock(m_mutex);
                if (m_stopping)
                    return;
                m_client = &client;
            }
            if (client.connect())
                watch(client);
            m_connected = false;
            answer({});
            std::lock_guard lock(m_mutex);
            m_client = nullptr;
        }
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_retry || m_stopping; });
        m_retry = false;
        if (m_stopping)
            return;
    }
}

void MicrophoneWatcher::watch(PulseClient &client) {
    pa_context *context = client.context();
    pa_context_set_subscribe_callback(
        context,
        [](pa_context *, pa_subscription_event_type_t, uint32_t, void *self) {
            static_cast<MicrophoneWatcher *>(self)->m_dirty = true;
        },
        this);
    const auto mask =
        pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SERVER | PA_SUBSCRIPTION_MASK_SOURCE);
    if (pa_operation *subscribe = pa_context_subscribe(context, mask, nullptr, nullptr))
        pa_operation_unref(subscribe);
    m_connected = true;
    m_dirty = true;
    const auto stopping = [this] {
        std::lock_guard lock(m_mutex);
        return m_stopping;
    };
    while (!stopping()) {
        if (m_dirty.exchange(false))
            answer(AudioDevices::microphonesAmong(
                client.sources().value_or(std::vector<PulseSource>())));
        if (!client.isConnected())
            break;
        // Sleeps in the server connection's poll until an event or a wake-up.
        client.runUntil([this, &stopping] { return m_dirty.load() || stopping(); },
                        PulseClient::Clock::time_point::max());
        if (!client.isConnected()) {
            qCInfo(lcPermissions) << "Lost the sound server";
            break;
        }
    }
    pa_context_set_subscribe_callback(context, nullptr, nullptr);
}

} // namespace orvanta
