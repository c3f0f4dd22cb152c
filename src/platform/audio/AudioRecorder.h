#pragma once

#include "Ports.h"

#include <QObject>
#include <QSet>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace orvanta {

class CaptureSession;

// Records the chosen microphone into <private folder>/orvanta-<UUID>.m4a for one dictation
// (CaptureSession::recordingDirectory()).
// Connecting, capture and encoding run on a thread of their own; levels, completions and a
// failed start arrive on the thread that owns the recorder (the main thread).
class AudioRecorder final : public QObject, public RecorderPort {
    Q_OBJECT
public:
    explicit AudioRecorder(QObject *parent = nullptr);
    ~AudioRecorder() override;

    bool start(const QString &deviceUID) override;
    bool isRecording() const override { return m_current != nullptr; }
    void stop(std::function<void(std::optional<QString> file)> completion) override;
    void cancel() override;
    void cleanup(const QString &file) override;
    void setLevelHandler(std::function<void(float level)> onLevel) override;
    void setStartFailureHandler(std::function<void()> onStartFailed) override;

    // Deletes the recordings and microphone tests an earlier run left behind (it crashed or
    // was killed). Called once at start-up, before anything records.
    static void removeLeftovers();

    // The file being written or last delivered, until it is cancelled or cleaned up.
    std::optional<QString> lastFile() const { return m_lastFile; }

private:
    using Completion = std::function<void(std::optional<QString>)>;
    struct Ending {
        std::unique_ptr<CaptureSession> session;
        Completion completion; // empty after cancel
    };

    void startFailed(std::uint64_t recording);
    void levelArrived(std::uint64_t recording, float level);
    void recordingEnded(std::uint64_t recording, const std::optional<QString> &file);
    void endCurrent(Completion completion);

    std::function<void(float)> m_onLevel;
    std::function<void()> m_onStartFailed;
    std::unique_ptr<CaptureSession> m_current;
    std::uint64_t m_currentId = 0;
    std::uint64_t m_lastId = 0;
    // Recordings that were stopped or cancelled and are still being finished.
    std::map<std::uint64_t, Ending> m_ending;
    std::optional<QString> m_lastFile;
    // Files handed to a completion and not cleaned up yet; cleanup deletes nothing else.
    QSet<QString> m_delivered;
};

} // namespace orvanta
