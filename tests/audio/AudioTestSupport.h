#pragma once

#include <QByteArray>
#include <QHash>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace orvanta {
class AudioRecorder;
}

namespace orvanta::test {

// Processes Qt events until `done` answers true; false after `timeout`.
inline bool waitUntil(const std::function<bool()> &done,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    return QTest::qWaitFor(done, int(timeout.count()));
}
inline void spinFor(std::chrono::milliseconds duration) {
    waitUntil([] { return false; }, duration);
}

// A tool's standard output, or nothing when it did not exit with 0.
std::optional<QByteArray> runTool(const QString &program, const QStringList &arguments);
QString pactl(const QStringList &arguments);

// What ffprobe tells of a file's first audio stream and its container: "codec_name",
// "profile", "sample_rate", "channels", "duration" and "TAG:major_brand". Empty if unreadable.
QHash<QString, QString> probeAudio(const QString &path);
// A file's audio at its own rate, mixed down to one channel.
std::vector<float> decodeAudio(const QString &path);
double rmsDecibels(const std::vector<float> &samples);
// The RMS level of each whole window of `window` samples, in order.
std::vector<double> windowDecibels(const std::vector<float> &samples, std::size_t window);

// Plays digital silence into the test microphone for as long as it lives, so that the
// microphone delivers audio steadily.
class MicrophoneFeed {
public:
    MicrophoneFeed();
    ~MicrophoneFeed();

private:
    QProcess m_silence;
};

// Starts recording from the default input; true once the microphone's audio arrives.
bool startHearing(AudioRecorder &recorder);
// Starts recording from `device`; true when the start is taken and then fails, once, on the
// main thread, leaving the recorder idle and no file behind.
bool startFailsLate(AudioRecorder &recorder, const QString &device = "__default__");
// Stops and returns what the recorder hands back, which must come on the main thread and,
// when it is a file, only after stop returned.
std::optional<QString> stopAndWait(AudioRecorder &recorder);
// Files in the recordings' folder whose names start with `prefix`.
QStringList temporaryFiles(const QString &prefix);

} // namespace orvanta::test
