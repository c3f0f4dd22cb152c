#include "AudioTestSupport.h"

#include "AudioRecorder.h"
#include "CaptureSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

namespace orvanta::test {

bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeout.count())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

void spinFor(std::chrono::milliseconds duration) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < duration.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

ToolResult runTool(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput()};
}

QString pactl(const QStringList &arguments) {
    return QString::fromUtf8(runTool(QStringLiteral("pactl"), arguments).output).trimmed();
}

DecodedAudio decodeAudio(const QString &path) {
    DecodedAudio audio;
    AVFormatContext *format = nullptr;
    const QByteArray file = path.toUtf8();
    if (avformat_open_input(&format, file.constData(), nullptr, nullptr) < 0)
        return audio;
    const int streamIndex =
        avformat_find_stream_info(format, nullptr) < 0
            ? -1
            : av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (streamIndex < 0) {
        avformat_close_input(&format);
        return audio;
    }
    const AVCodecParameters *parameters = format->streams[streamIndex]->codecpar;
    const AVCodec *decoder = avcodec_find_decoder(parameters->codec_id);
    AVCodecContext *codec = decoder ? avcodec_alloc_context3(decoder) : nullptr;
    if (!codec || avcodec_parameters_to_context(codec, parameters) < 0 ||
        avcodec_open2(codec, decoder, nullptr) < 0) {
        avcodec_free_context(&codec);
        avformat_close_input(&format);
        return audio;
    }
    audio.codec = QString::fromUtf8(decoder->name);
    const char *profile = avcodec_profile_name(parameters->codec_id, parameters->profile);
    audio.profile = profile ? QString::fromUtf8(profile) : QString();
    if (const AVDictionaryEntry *brand = av_dict_get(format->metadata, "major_brand", nullptr, 0))
        audio.brand = QString::fromUtf8(brand->value);
    audio.sampleRate = parameters->sample_rate;
    audio.channels = parameters->ch_layout.nb_channels;
    audio.durationSeconds = format->duration > 0 ? double(format->duration) / AV_TIME_BASE : 0;

    AVPacket *packet = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    const auto drain = [&] {
        while (avcodec_receive_frame(codec, frame) >= 0) {
            for (int i = 0; i < frame->nb_samples; ++i) {
                float value = 0;
                switch (codec->sample_fmt) {
                case AV_SAMPLE_FMT_FLTP:
                    value = reinterpret_cast<const float *>(frame->data[0])[i];
                    break;
                case AV_SAMPLE_FMT_S16:
                    value = reinterpret_cast<const int16_t *>(
                                frame->data[0])[i * frame->ch_layout.nb_channels] /
                            32768.0f;
                    break;
                default:
                    throw std::runtime_error("unexpected sample format in a test file");
                }
                audio.samples.push_back(value);
            }
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == streamIndex && avcodec_send_packet(codec, packet) >= 0)
            drain();
        av_packet_unref(packet);
    }
    avcodec_send_packet(codec, nullptr);
    drain();
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    return audio;
}

double rmsDecibels(const std::vector<float> &samples) {
    if (samples.empty())
        return -INFINITY;
    double sum = 0;
    for (float sample : samples)
        sum += double(sample) * sample;
    return 10 * std::log10(sum / double(samples.size()));
}

double loudestWindowDecibels(const std::vector<float> &samples, int sampleRate) {
    const std::size_t window = static_cast<std::size_t>(sampleRate / 20);
    double loudest = -INFINITY;
    for (std::size_t start = 0; start + window <= samples.size(); start += window) {
        const std::vector<float> part(samples.begin() + long(start),
                                      samples.begin() + long(start + window));
        loudest = std::max(loudest, rmsDecibels(part));
    }
    return loudest;
}

int loudWindows(const std::vector<float> &samples, int sampleRate) {
    const std::size_t window = static_cast<std::size_t>(sampleRate / 100);
    int loud = 0;
    for (std::size_t start = 0; start + window <= samples.size(); start += window) {
        const std::vector<float> part(samples.begin() + long(start),
                                      samples.begin() + long(start + window));
        loud += rmsDecibels(part) > -30.0 ? 1 : 0;
    }
    return loud;
}

QString speechFile() {
    static const QString file = [] {
        const QString path = QDir(QDir::tempPath()).filePath(QStringLiteral("test-speech.wav"));
        const ToolResult made =
            runTool(QStringLiteral("espeak-ng"),
                    {QStringLiteral("-w"), path,
                     QStringLiteral("Please write down this short sentence for me.")});
        if (made.exitCode != 0 || !QFileInfo(path).isFile())
            throw std::runtime_error("espeak-ng could not make the test speech");
        return path;
    }();
    return file;
}

namespace {

// An idle null sink renders in blocks of up to two seconds unless a client asks for low
// latency, and the remapped source drops what comes before its first block. Low latency and
// one warm-up read make the test microphone deliver from the moment a stream opens.
void warmUpMicrophone() {
    static const bool warm = [] {
        QProcess reader;
        reader.start(QStringLiteral("parec"),
                     {QStringLiteral("--device=vmic"), QStringLiteral("--raw"),
                      QStringLiteral("--latency-msec=20")});
        reader.waitForStarted();
        QElapsedTimer clock;
        clock.start();
        qint64 bytes = 0;
        while (clock.elapsed() < 5000 && bytes < 64000) {
            reader.waitForReadyRead(100);
            bytes += reader.readAllStandardOutput().size();
        }
        reader.kill();
        reader.waitForFinished();
        return true;
    }();
    (void)warm;
}

} // namespace

MicrophoneFeed::MicrophoneFeed() {
    m_silence = std::make_unique<QProcess>();
    m_silence->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_silence->start(QStringLiteral("pacat"),
                     {QStringLiteral("--playback"), QStringLiteral("--device=virtmic"),
                      QStringLiteral("--raw"), QStringLiteral("--latency-msec=20"),
                      QStringLiteral("/dev/zero")});
    if (!m_silence->waitForStarted())
        throw std::runtime_error("pacat did not start");
    warmUpMicrophone();
}

MicrophoneFeed::~MicrophoneFeed() {
    stopSilence();
}

void MicrophoneFeed::stopSilence() {
    if (!m_silence)
        return;
    m_silence->kill();
    m_silence->waitForFinished();
    m_silence.reset();
}

bool startHearing(AudioRecorder &recorder) {
    auto levels = std::make_shared<int>(0);
    recorder.setLevelHandler([levels](float) { ++*levels; });
    return recorder.start(QStringLiteral("__default__")) &&
           waitUntil([&levels] { return *levels >= 5; });
}

std::optional<QString> stopAndWait(AudioRecorder &recorder) {
    std::optional<std::optional<QString>> delivered;
    bool onMain = false;
    recorder.stop([&](std::optional<QString> file) {
        onMain = QThread::currentThread() == QCoreApplication::instance()->thread();
        delivered = std::move(file);
    });
    EXPECT_TRUE(waitUntil([&] { return delivered.has_value(); })) << "no completion after stop";
    EXPECT_TRUE(onMain);
    return delivered.value_or(std::nullopt);
}

QStringList temporaryFiles(const QString &prefix) {
    return QDir(CaptureSession::recordingDirectory())
        .entryList({prefix + QStringLiteral("*")}, QDir::Files);
}

MicrophoneUnplugged::MicrophoneUnplugged() {
    for (const QString &line : pactl({"list", "short", "modules"}).split('\n')) {
        if (line.contains("module-remap-source"))
            pactl({"unload-module", line.split('\t').first()});
    }
}

MicrophoneUnplugged::~MicrophoneUnplugged() {
    pactl({"load-module", "module-remap-source", "master=virtmic.monitor", "source_name=vmic",
           "source_properties=device.description=VirtualMic"});
    pactl({"set-default-source", "vmic"});
}

bool MicrophoneFeed::play(const QString &file) {
    QProcess player;
    player.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    player.start(QStringLiteral("paplay"), {QStringLiteral("--device=virtmic"), file});
    // Keep delivering the recorder's events while the sound plays.
    const bool played = waitUntil([&player] { return player.state() == QProcess::NotRunning; },
                                  std::chrono::seconds(20));
    return played && player.exitStatus() == QProcess::NormalExit && player.exitCode() == 0;
}

} // namespace orvanta::test
