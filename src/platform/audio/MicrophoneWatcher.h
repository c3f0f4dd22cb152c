#pragma once

#include "AudioInputDevice.h"

#include <QList>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace orvanta {

class PulseClient;

// Which microphones the sound server offers, known from one long-lived connection on a
// thread of its own that hears of every server and source change (a subscription): asking
// costs nothing and never waits for the server. While no server answers, the connection is
// tried again only when asked to (the permission poll), never on a timer of its own.
class MicrophoneWatcher {
public:
    MicrophoneWatcher();
    ~MicrophoneWatcher();
    MicrophoneWatcher(const MicrophoneWatcher &) = delete;
    MicrophoneWatcher &operator=(const MicrophoneWatcher &) = delete;

    // The latest answer. The first call waits for the first one, at most `firstWait`.
    bool isAvailable(std::chrono::milliseconds firstWait = std::chrono::milliseconds(700));
    // The latest list, in the server's order; monitors of outputs are no microphones.
    QList<AudioInputDevice> microphones();
    // Without a connection: tries to connect again, now, on the watcher's thread.
    void retryIfDisconnected();
    bool isConnected() const { return m_connected; }

private:
    void run();
    void watch(PulseClient &client);
    void answer(QList<AudioInputDevice> microphones);

    std::atomic<bool> m_available = false;
    std::atomic<bool> m_connected = false;
    std::atomic<bool> m_dirty = false;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_answered = false;
    QList<AudioInputDevice> m_microphones;
    bool m_retry = false;
    bool m_stopping = false;
    PulseClient *m_client = nullptr; // the thread's connection while it exists

    std::thread m_thread;
};

} // namespace orvanta
