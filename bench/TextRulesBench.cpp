// The text work done on every finished dictation: the replacement pass and the word count.

#include "Replacement.h"
#include "ReplacementPass.h"
#include "TextRules.h"

#include <benchmark/benchmark.h>

#include <QStringList>

using namespace orvanta;

namespace {

// About 5,000 characters of dictated English with some accented words.
QString transcript() {
    const QStringList words =
        QString::fromUtf8("so I was thinking we could meet at the café tomorrow and go "
                          "over the quarterly numbers gonna need the Kubernetes dashboard "
                          "open and maybe the naïve forecast too")
            .split(u' ');
    QString text;
    for (int i = 0; text.size() < 5000; ++i) {
        text += words[i % words.size()];
        text += (i % 17 == 16) ? QStringLiteral(".\n") : QStringLiteral(" ");
    }
    return text;
}

// 100 rules, a few of which match.
QList<Replacement> rules() {
    QList<Replacement> list;
    for (int i = 0; i < 100; ++i) {
        const bool caseSensitive = i % 2 == 0;
        list.append({QUuid::createUuid(), QStringLiteral("phrase number %1").arg(i),
                     QStringLiteral("replacement %1").arg(i), caseSensitive});
    }
    list[10].from = QStringLiteral("gonna");
    list[10].to = QStringLiteral("going to");
    list[20].from = QStringLiteral("kubernetes");
    list[20].to = QStringLiteral("K8s");
    list[30].from = QString::fromUtf8("cafe\u0301");
    list[30].to = QStringLiteral("coffee shop");
    return list;
}

void BM_ReplacementPass(benchmark::State &state) {
    const QString text = transcript();
    const QList<Replacement> list = rules();
    for (auto _ : state)
        benchmark::DoNotOptimize(applyReplacementRules(text, list));
    state.counters["chars"] = static_cast<double>(text.size());
}
BENCHMARK(BM_ReplacementPass)->Unit(benchmark::kMicrosecond);

void BM_CountWords(benchmark::State &state) {
    const QString text = transcript();
    for (auto _ : state)
        benchmark::DoNotOptimize(countWords(text));
}
BENCHMARK(BM_CountWords)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
