#pragma once

#include "Ports.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace orvanta {

// Mutes the default output for a recording and unmutes it afterwards, only when this
// application was the one that muted it. The muted output is remembered by name, so it is
// the one unmuted even when the default output changed meanwhile, and in a small state
// file, so a start after a crash unmutes it. Failures are logged, never reported.
// The server is talked to on a thread of its own, one request after the other in the order
// asked: the calls return at once. Destruction waits for what was asked (a quit unmutes).
class SystemAudio final : public SystemAudioPort {
public:
    // The state file under $XDG_STATE_HOME (~/.local/state) /Orvanta.
    SystemAudio();
    explicit SystemAudio(QString stateFile);
    ~SystemAudio() override;
    SystemAudio(const SystemAudio &) = delete;
    SystemAudio &operator=(const SystemAudio &) = delete;

    void muteIfNeeded() override;
    void unmuteIfNeeded() override;
    // At start-up: unmutes the output an earlier run muted and could not restore (it crashed
    // or was killed), unless the user has unmuted it since.
    void restoreAfterEarlierRun();
    // Waits until every request asked so far has been carried out.
    void flush();

    // As of the requests carried out so far.
    bool didMute() const { return m_didMute; }
    QString stateFile() const { return m_stateFile; }

private:
    void post(std::function<void()> task);
    void run();
    void mute();
    void unmute();
    void restore();
    void forgetMutedSink();

    QString m_stateFile;
    QString m_mutedSink; // worker thread only
    std::atomic<bool> m_didMute = false;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_tasks;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_worker;
};

} // namespace orvanta
