#pragma once

// Reads recordings back with the ffmpeg and ffprobe tools.

#include <QByteArray>
#include <QHash>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

namespace orvanta::test {

// A tool's standard output, or nothing when it did not exit with 0.
inline std::optional<QByteArray> runTool(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    // Delivers the Qt events of the code under test meanwhile.
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 30000)) {
        process.kill();
        process.waitForFinished();
    }
    if (process.error() != QProcess::UnknownError || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

// What ffprobe tells of a file's first audio stream and its container: "codec_name",
// "profile", "sample_rate", "channels", "duration" and "TAG:major_brand". Empty if unreadable.
inline QHash<QString, QString> probeAudio(const QString &path) {
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

// A file's audio at its own rate, mixed down to one channel.
inline std::vector<float> decodeAudio(const QString &path) {
    const QByteArray pcm = runTool("ffmpeg", {"-v", "error", "-i", path, "-map", "0:a:0", "-ac",
                                              "1", "-f", "f32le", "-"})
                               .value_or(QByteArray());
    std::vector<float> samples(std::size_t(pcm.size()) / sizeof(float));
    std::memcpy(samples.data(), pcm.constData(), samples.size() * sizeof(float));
    return samples;
}

inline double rmsDecibels(const std::vector<float> &samples) {
    double sum = 0;
    for (float sample : samples)
        sum += double(sample) * sample;
    return samples.empty() ? -INFINITY : 10 * std::log10(sum / double(samples.size()));
}

} // namespace orvanta::test
