#pragma once

#include "Ports.h"

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace orvanta {

// Plays the application's own short sounds on the default output. The sounds go to the
// sound server's sample cache once and are then played by name, from a thread of its own
// so that a slow server never holds the caller. No server means silence.
class Sounds final : public SoundPort {
public:
    Sounds();
    ~Sounds() override;
    Sounds(const Sounds &) = delete;
    Sounds &operator=(const Sounds &) = delete;

    void play(const QString &name) override;

    // The name of a sound in the server's sample cache.
    static QString sampleName(const QString &name);

private:
    void run();
    void playNow(const QString &name);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<QString> m_queue;
    bool m_quit = false;
    std::thread m_thread;
};

} // namespace orvanta
