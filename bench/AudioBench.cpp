// The cost of a recording: AAC encoding against real time, how long start holds the caller and
// how long stop takes to hand over the file. The recorder benchmarks need a sound server; run
// them through tests/scripts/with-pulseaudio.sh ./bench/bench_audio

#include "AudioRecorder.h"
#include "M4aWriter.h"
#include "Permissions.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>
#include <cmath>
#include <numbers>
#include <random>

using namespace orvanta;

namespace {

// Voiced syllables with a little breath noise: harder for the encoder than a pure tone.
std::vector<float> speechLikeAudio(double seconds) {
    const auto count = static_cast<std::size_t>(seconds * M4aWriter::sampleRate);
    std::vector<float> samples(count);
    std::mt19937 random(7);
    std::normal_distribution<float> noise(0.0f, 0.02f);
    for (std::size_t i = 0; i < count; ++i) {
        const double t = double(i) / M4aWriter::sampleRate;
        const double syllable = std::max(0.0, std::sin(2 * std::numbers::pi * 3 * t));
        const double pitch = 140 + 30 * std::sin(2 * std::numbers::pi * 0.5 * t);
        double voice = 0;
        for (int harmonic = 1; harmonic <= 8; ++harmonic)
            voice += std::sin(2 * std::numbers::pi * pitch * harmonic * t) / harmonic;
        samples[i] = float(0.2 * syllable * voice) + noise(random);
    }
    return samples;
}

// Keeps the test microphone delivering while it lives.
struct MicrophoneFeed {
    MicrophoneFeed() {
        process.start(QStringLiteral("pacat"),
                      {QStringLiteral("--playback"), QStringLiteral("--device=virtmic"),
                       QStringLiteral("--raw"), QStringLiteral("--latency-msec=20"),
                       QStringLiteral("/dev/zero")});
        process.waitForStarted();
    }
    ~MicrophoneFeed() {
        process.kill();
        process.waitForFinished();
    }
    QProcess process;
};

void encode(M4aWriter &writer, const std::vector<float> &audio) {
    constexpr std::size_t chunk = 800; // what the sound server hands over every 0.05 s
    for (std::size_t done = 0; done < audio.size(); done += chunk)
        writer.write(audio.data() + done, std::min(chunk, audio.size() - done));
}

void BM_EncodeSixtySeconds(benchmark::State &state) {
    const std::vector<float> audio = speechLikeAudio(60);
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("bench.m4a"));
    for (auto _ : state) {
        M4aWriter writer;
        writer.open(file);
        encode(writer, audio);
        if (!writer.finish())
            state.SkipWithError("encoding failed");
    }
    state.counters["x_realtime"] =
        benchmark::Counter(60.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EncodeSixtySeconds)->Unit(benchmark::kMillisecond);

// The part of stop that grows with the length of the recording: the last frame and the index.
void BM_FinishAfterSixtySeconds(benchmark::State &state) {
    const std::vector<float> audio = speechLikeAudio(60);
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("bench.m4a"));
    for (auto _ : state) {
        state.PauseTiming();
        M4aWriter writer;
        writer.open(file);
        encode(writer, audio);
        state.ResumeTiming();
        if (!writer.finish())
            state.SkipWithError("encoding failed");
    }
}
BENCHMARK(BM_FinishAfterSixtySeconds)->Unit(benchmark::kMicrosecond)->Iterations(10);

// From stop to the file arriving on the main thread, after a real recording of range(0) s.
void BM_StopDeliversRecording(benchmark::State &state) {
    const MicrophoneFeed feed;
    AudioRecorder recorder;
    for (auto _ : state) {
        if (!recorder.start(QStringLiteral("__default__"))) {
            state.SkipWithError("no sound server; run through with-pulseaudio.sh");
            break;
        }
        QElapsedTimer recording;
        recording.start();
        while (recording.elapsed() < state.range(0) * 1000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

        bool delivered = false;
        std::optional<QString> file;
        const auto stopped = std::chrono::steady_clock::now();
        recorder.stop([&](std::optional<QString> result) {
            delivered = true;
            file = std::move(result);
        });
        while (!delivered) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            QThread::usleep(50);
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - stopped).count());
        if (!file) {
            state.SkipWithError("the recording delivered no file");
            break;
        }
        recorder.cleanup(*file);
    }
}
BENCHMARK(BM_StopDeliversRecording)
    ->Arg(2)
    ->Arg(60)
    ->Iterations(2)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// How long start holds the main thread. Not timed: first_level_ms, from the call to the first
// level on the main thread, when the capture surely runs.
void BM_StartRecording(benchmark::State &state) {
    const MicrophoneFeed feed;
    AudioRecorder recorder;
    bool heard = false;
    recorder.setLevelHandler([&heard](float) { heard = true; });
    double toFirstLevel = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        if (!recorder.start(QStringLiteral("__default__"))) {
            state.SkipWithError("no sound server; run through with-pulseaudio.sh");
            break;
        }
        state.PauseTiming();
        for (heard = false; !heard && clock.elapsed() < 5000;) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            QThread::usleep(200);
        }
        toFirstLevel += double(clock.nsecsElapsed()) / 1e6;
        recorder.cancel();
        state.ResumeTiming();
    }
    state.counters["first_level_ms"] = toFirstLevel / double(state.iterations());
}
BENCHMARK(BM_StartRecording)->Unit(benchmark::kMillisecond)->Iterations(20);

// The microphone answer the permission poll asks for every 1.5 s.
void BM_MicrophonePermissionCheck(benchmark::State &state) {
    Permissions permissions;
    for (auto _ : state)
        benchmark::DoNotOptimize(permissions.isMicrophoneAuthorized());
}
BENCHMARK(BM_MicrophonePermissionCheck)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
