#include "AudioTestSupport.h"

#include "AudioRecorder.h"
#include "CaptureSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace orvanta::test {

using namespace std::chrono_literals;

std::optional<QByteArray> runTool(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    // Delivers the Qt events of the code under test meanwhile.
    if (!waitUntil([&] { return process.state() == QProcess::NotRunning; }, 30s)) {
        process.kill();
        process.waitForFinished();
    }
    if (process.error() != QProcess::UnknownError || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

QString pactl(const QStringList &arguments) {
    return QString::fromUtf8(runTool("pactl", arguments).value_or(QByteArray())).trimmed();
}

QHash<QString, QString> probeAudio(const QString &path) {
    QHash<QString, QString> found;
    const auto probed =
        runTool("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries",
                            "stream=codec_name,profile,sample_rate,channels:"
                            "format=duration:format_tags=major_brand",
                            "-of", "default=noprint_wrappers=1", path});
    for (const QString &line : QString::fromUtf8(probed.value_or(QByteArray())).split('\n'))
        found.insert(line.section('=', 0, 0), line.section('=', 1));
    return found;
}

std::vector<float> decodeAudio(const QString &path) {
    const QByteArray pcm = runTool("ffmpeg", {"-v", "error", "-i", path, "-map", "0:a:0", "-ac",
                                              "1", "-f", "f32le", "-"})
                               .value_or(QByteArray());
    std::vector<float> samples(std::size_t(pcm.size()) / sizeof(float));
    std::memcpy(samples.data(), pcm.constData(), samples.size() * sizeof(float));
    return samples;
}

double rmsDecibels(const std::vector<float> &samples) {
    double sum = 0;
    for (float sample : samples)
        sum += double(sample) * sample;
    return samples.empty() ? -INFINITY : 10 * std::log10(sum / double(samples.size()));
}

std::vector<double> windowDecibels(const std::vector<float> &samples, std::size_t window) {
    std::vector<double> levels;
    for (auto start = samples.begin(); samples.end() - start >= long(window); start += long(window))
        levels.push_back(rmsDecibels({start, start + long(window)}));
    return levels;
}

MicrophoneFeed::MicrophoneFeed() {
    m_silence.start("pacat",
                    {"--playback", "--device=virtmic", "--raw", "--latency-msec=20", "/dev/zero"});
    if (!m_silence.waitForStarted())
        throw std::runtime_error("pacat did not start");
    // An idle null sink renders in blocks of up to two seconds unless a client asks for low
    // latency, and the remapped source drops what comes before its first block. Low latency
    // and one warm-up read make the test microphone deliver from the moment a stream opens.
    [[maybe_unused]] static const bool warm = [] {
        QProcess reader;
        reader.start("parec", {"--device=vmic", "--raw", "--latency-msec=20"});
        reader.waitForStarted();
        QElapsedTimer clock;
        clock.start();
        for (qint64 bytes = 0; clock.elapsed() < 5000 && bytes < 64000;) {
            reader.waitForReadyRead(100);
            bytes += reader.readAllStandardOutput().size();
        }
        reader.kill();
        return reader.waitForFinished();
    }();
}

MicrophoneFeed::~MicrophoneFeed() {
    m_silence.kill();
    m_silence.waitForFinished();
}

bool startHearing(AudioRecorder &recorder) {
    auto levels = std::make_shared<int>(0);
    recorder.setLevelHandler([levels](float) { ++*levels; });
    return recorder.start("__default__") && waitUntil([&levels] { return *levels >= 5; });
}

bool startFailsLate(AudioRecorder &recorder, const QString &device) {
    auto failures = std::make_shared<int>(0);
    auto offMain = std::make_shared<bool>(false);
    recorder.setStartFailureHandler([failures, offMain] {
        ++*failures;
        *offMain |= QThread::currentThread() != QCoreApplication::instance()->thread();
    });
    if (!recorder.start(device) || !recorder.isRecording() ||
        !waitUntil([&failures] { return *failures > 0; }))
        return false;
    spinFor(std::chrono::milliseconds(100));
    return *failures == 1 && !*offMain && !recorder.isRecording() &&
           temporaryFiles("orvanta-").isEmpty();
}

std::optional<QString> stopAndWait(AudioRecorder &recorder) {
    std::optional<std::optional<QString>> delivered;
    bool onMain = false;
    recorder.stop([&](std::optional<QString> file) {
        onMain = QThread::currentThread() == QCoreApplication::instance()->thread();
        delivered = std::move(file);
    });
    const bool atOnce = delivered.has_value();
    EXPECT_TRUE(waitUntil([&] { return delivered.has_value(); })) << "no completion after stop";
    EXPECT_TRUE(onMain);
    const std::optional<QString> file = delivered.value_or(std::nullopt);
    EXPECT_FALSE(atOnce && file) << "a file is finished off the main thread, after stop returns";
    return file;
}

QStringList temporaryFiles(const QString &prefix) {
    return QDir(CaptureSession::recordingDirectory()).entryList({prefix + "*"}, QDir::Files);
}

} // namespace orvanta::test
