// The time from the X11 paste's insert to the text showing in a focused window of another
// process, on the X server in DISPLAY (run it through tests/scripts/with-xvfb.sh).

#include "X11TestSupport.h"
#include "XTestPaste.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

#include <benchmark/benchmark.h>

using orvanta::ClipboardPaste;
using orvanta::test::TargetApp;
using orvanta::test::XKeyboard;
using orvanta::x11::XTestPaste;

namespace {

void BM_InsertUntilTextArrives(benchmark::State &state) {
    XKeyboard keyboard;
    TargetApp target;
    if (!keyboard.isOpen() || !target.start(keyboard)) {
        state.SkipWithError("no X display or target window");
        return;
    }
    const ClipboardPaste::Timing timing;
    auto inserter = XTestPaste::inserter(timing);
    int round = 0;
    double beyondDelayMs = 0;
    for (auto _ : state) {
        const QString text = QStringLiteral("dictated text %1").arg(++round);
        QSignalSpy finished(inserter.get(), &ClipboardPaste::finished);
        QElapsedTimer clock;
        clock.start();
        inserter->insert(text, {}, {});
        if (!target.waitForLine(QStringLiteral("text ") + text)) {
            state.SkipWithError("the text never arrived");
            return;
        }
        const double seconds = clock.nsecsElapsed() / 1e9;
        state.SetIterationTime(seconds);
        beyondDelayMs += seconds * 1000 - double(timing.pasteDelay.count());
        finished.wait(10000);
        target.command(QStringLiteral("clear-field"));
    }
    state.counters["beyond_paste_delay_ms"] = beyondDelayMs / double(round);
}
BENCHMARK(BM_InsertUntilTextArrives)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

} // namespace

int main(int argc, char **argv) {
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
