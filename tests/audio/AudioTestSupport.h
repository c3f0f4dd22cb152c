#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace orvanta {
class AudioRecorder;
}

namespace orvanta::test {

// Processes Qt events until `done` answers true; false after `timeout`.
bool waitUntil(const std::function<bool()> &done,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));
// Processes Qt events for `duration`.
void spinFor(std::chrono::milliseconds duration);

struct ToolResult {
    int exitCode = -1;
    QByteArray output;
};
ToolResult runTool(const QString &program, const QStringList &arguments);
QString pactl(const QStringList &arguments);

struct DecodedAudio {
    QString codec;
    QString profile;
    QString brand; // the MP4 major brand

    int sampleRate = 0;
    int channels = 0;
    double durationSeconds = 0;
    std::vector<float> samples; // first channel
};
// Decodes any file FFmpeg reads; an empty codec name means it could not be read.
DecodedAudio decodeAudio(const QString &path);
double rmsDecibels(const std::vector<float> &samples);
// The loudest RMS level of the 0.05 s windows of the given samples.
double loudestWindowDecibels(const std::vector<float> &samples, int sampleRate);
// How many 10 ms windows of the given samples are louder than -30 dBFS.
int loudWindows(const std::vector<float> &samples, int sampleRate);

// A spoken English sentence of about two seconds, made once per test run.
QString speechFile();

// Plays into the sink that feeds the test microphone.
class MicrophoneFeed {
public:
    // Plays digital silence without pause, so that the microphone delivers audio steadily.
    MicrophoneFeed();
    ~MicrophoneFeed();
    void stopSilence();
    // Plays a sound file (by default the speech) and returns once it has been played.
    bool play(const QString &file = speechFile());

private:
    std::unique_ptr<QProcess> m_silence;
};

// Takes the microphone away from the server for one test and brings it back afterwards.
class MicrophoneUnplugged {
public:
    MicrophoneUnplugged();
    ~MicrophoneUnplugged();
};

// Starts recording from the default input; true once the microphone's audio arrives.
bool startHearing(AudioRecorder &recorder);
// Stops and returns what the recorder hands back, which must come on the main thread.
std::optional<QString> stopAndWait(AudioRecorder &recorder);

// Files in the recordings' folder whose names start with `prefix`.
QStringList temporaryFiles(const QString &prefix);

} // namespace orvanta::test
