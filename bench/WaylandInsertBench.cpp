// The time from the Wayland paste's insert to the text showing in a native Wayland window
// of another process, on the compositor in WAYLAND_DISPLAY (run it through
// tests/scripts/with-sway.sh, or bench/insert-x11-and-wayland.sh for both sessions).

#include "WaylandTestSupport.h"
#include "WaylandTextInserter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>

#include <benchmark/benchmark.h>

using orvanta::ClipboardPaste;
using orvanta::test::TargetApp;
using orvanta::wayland::TextInsertionChoice;
using orvanta::wayland::WaylandTextInserter;

namespace {

void BM_WaylandInsertUntilTextArrives(benchmark::State &state) {
    orvanta::test::WaylandUserKeyboard keyboard; // gives the seat a keyboard to focus with
    TargetApp target;
    TextInsertionChoice choice;
    const ClipboardPaste::Timing timing;
    auto inserter = WaylandTextInserter::forSession(choice, timing);
    if (!keyboard.isOpen() || !inserter || !target.start()) {
        state.SkipWithError("no compositor that lets a client paste, or no target window");
        return;
    }
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
BENCHMARK(BM_WaylandInsertUntilTextArrives)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
