#pragma once

#include <QString>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

struct pa_context;
struct pa_mainloop;
struct pa_operation;

namespace orvanta {

struct PulseSource {
    QString name;
    QString description;
    bool isMonitor = false;
};

struct PulseServerInfo {
    QString defaultSinkName;
    QString defaultSourceName;
};

// One connection to the user's sound server, driven by its own loop on the thread that calls
// it. Every request waits for its answer at most `timeout`, so a stalled server never holds
// the caller longer than that.
class PulseClient {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds defaultTimeout{2000};

    explicit PulseClient(std::chrono::milliseconds timeout = defaultTimeout);
    ~PulseClient();
    PulseClient(const PulseClient &) = delete;
    PulseClient &operator=(const PulseClient &) = delete;

    // False when no server answers in time; errorText() then says why.
    bool connect();
    bool isConnected() const;
    void disconnect();
    QString errorText() const { return m_error; }

    std::optional<PulseServerInfo> serverInfo();
    // In the server's order.
    std::optional<std::vector<PulseSource>> sources();
    std::optional<bool> sinkMute(const QString &sink);
    bool setSinkMute(const QString &sink, bool muted);
    // Plays a sample of the server's cache on the default sink. `missing` is set when the
    // cache holds no sample of that name.
    bool playSample(const QString &name, bool *missing = nullptr);
    bool uploadSample(const QString &name, const std::vector<float> &samples, int sampleRate);

    // Runs the loop until `done` answers true. False on time-out or when the connection
    // breaks.
    bool runUntil(const std::function<bool()> &done, Clock::time_point deadline);
    bool runUntil(const std::function<bool()> &done);
    // Interrupts a wait of runUntil; callable from any thread while the client exists.
    void wakeUp();

    pa_context *context() const { return m_context; }

private:
    bool waitFor(pa_operation *operation);
    void setError(const QString &what);

    std::chrono::milliseconds m_timeout;
    pa_mainloop *m_loop = nullptr;
    pa_context *m_context = nullptr;
    QString m_error;
};

} // namespace orvanta
