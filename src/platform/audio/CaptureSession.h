#pragma once

#include "InputLevel.h"
#include "M4aWriter.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

class QObject;
struct pa_stream;

namespace orvanta {

class PulseClient;

// One capture from a sound-server source into a temporary M4A file. A thread of its own
// connects to the server, opens the source, reads and encodes; levels and the end are handed
// to `context`'s thread (the main thread). The owner of `context` destroys the session before
// the context goes away.
class CaptureSession {
public:
    struct Handlers {
        QObject *context = nullptr;
        // One level per 0.05 s of audio.
        std::function<void(float level)> level;
        // After stop: the file, or nothing when writing failed, no audio arrived or the
        // server went away. After cancel: always nothing, once the file is gone.
        std::function<void(std::optional<QString> file)> finished;
        // Instead of `finished`, when the capture could not be set up before any stop or
        // cancel (no server, no microphone, the file cannot be written); the file is gone.
        std::function<void()> failedToStart;
    };

    static constexpr int sampleRate = M4aWriter::sampleRate;
    static constexpr int levelWindowSamples = sampleRate / 20;

    // Creates the file and returns at once; the capture is set up on the session's thread.
    // Nothing when the file cannot be created.
    static std::unique_ptr<CaptureSession> begin(const QString &deviceUID,
                                                 const QString &filePrefix, Handlers handlers);
    // Cancels a capture that still runs and waits for its thread.
    ~CaptureSession();
    CaptureSession(const CaptureSession &) = delete;
    CaptureSession &operator=(const CaptureSession &) = delete;

    const QString &file() const { return m_file; }
    void stop();
    void cancel();

    // The folder of recordings, private to the user (mode 0700): $XDG_RUNTIME_DIR/orvanta,
    // or <temp>/orvanta-<uid> without a runtime folder (the folder of the instance socket). Empty
    // when it cannot be made private.
    static QString recordingDirectory();
    // recordingDirectory()/<prefix><UPPER-CASE UUID>.m4a, created empty with mode 0600; empty
    // on failure.
    static QString newTemporaryFile(const QString &prefix);
    // Deletes the recordings a process that ended without cleaning up left behind. Only for
    // the single running instance, before it records.
    static void removeOrphans(const QStringList &prefixes);

private:
    enum class Request { None, Stop, Cancel };

    CaptureSession(Handlers handlers, QString deviceUID, QString file);
    bool setUp();
    bool openStream();
    void run();
    void readAvailable();
    void drain();
    void consume(const float *samples, std::size_t count);
    bool streamIsGood() const;
    void closeStream();
    std::optional<QString> finishFile(bool serverLost);
    void request(Request request);
    void post(std::function<void()> task);

    Handlers m_handlers;
    std::unique_ptr<PulseClient> m_client;
    const QString m_deviceUID;
    const QString m_file;
    QString m_source; // of the capture thread
    pa_stream *m_stream = nullptr;
    M4aWriter m_writer;
    LevelWindow m_levels{levelWindowSamples};
    bool m_writeFailed = false;
    bool m_draining = false;
    std::size_t m_drainedSamples = 0;
    std::atomic<Request> m_request{Request::None};
    std::thread m_thread;
};

} // namespace orvanta
