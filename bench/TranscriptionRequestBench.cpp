// Building the transcription request for a minute of speech: Base64 of the recording and the
// compact JSON around it. This runs for every dictation before anything is sent.

#include "HttpExchange.h"
#include "Transcriber.h"

#include <benchmark/benchmark.h>

#include <QRandomGenerator>

using namespace orvanta;

namespace {

// 60 s of AAC at about 32 kbit/s; random bytes, as compressed audio looks.
QByteArray minuteOfAudio() {
    QByteArray audio(250 * 1024, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (char &byte : audio)
        byte = char(generator.generate() & 0xff);
    return audio;
}

Transcriber::Inputs typicalInputs() {
    QStringList terms;
    for (int i = 0; i < 50; ++i)
        terms.append(QStringLiteral("Term%1").arg(i));
    return {QStringLiteral("google/gemini-2.5-flash"), QStringLiteral("auto"),
            QStringLiteral("clean"), terms,
            QStringLiteral("Write numbers as digits. Keep product names as spoken.")};
}

void BM_RequestBody(benchmark::State &state) {
    const QByteArray audio = minuteOfAudio();
    const Transcriber::Inputs inputs = typicalInputs();
    for (auto _ : state) {
        QByteArray body = Transcriber::requestBody(audio, inputs);
        benchmark::DoNotOptimize(body.data());
    }
    state.SetBytesProcessed(state.iterations() * audio.size());
}
BENCHMARK(BM_RequestBody)->Unit(benchmark::kMillisecond);

// Reading the service's answer: a short transcript in a small JSON object.
void BM_InterpretAnswer(benchmark::State &state) {
    HttpAnswer answer;
    answer.status = 200;
    answer.body = R"({"text":"  So I was thinking we could meet at the cafe tomorrow.  "})";
    for (auto _ : state) {
        TranscribeOutcome outcome = Transcriber::interpret(answer);
        benchmark::DoNotOptimize(outcome);
    }
}
BENCHMARK(BM_InterpretAnswer)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
