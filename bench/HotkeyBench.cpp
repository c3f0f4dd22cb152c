// The cost of deciding about one key event: the translation of a raw X key and the
// shortcut monitor's decision.

#include "HotkeyManager.h"
#include "X11KeyTranslator.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <linux/input-event-codes.h>

using namespace orvanta;
using orvanta::x11::X11KeyTranslator;

namespace {

class SilentKeySource final : public KeySource {
public:
    void setHandler(Handler) override {}
    bool start() override { return true; }
    bool isStarted() const override { return true; }
    quint64 visibleModifiers() const override { return X11KeyTranslator::visibleModifiers(); }
    void setConsumedShortcuts(const QList<Shortcut> &) override {}
};

constexpr int xKeyA = KEY_A + X11KeyTranslator::evdevOffset;
constexpr int xControl = KEY_LEFTCTRL + X11KeyTranslator::evdevOffset;

void BM_DecideOrdinaryKey(benchmark::State &state) {
    SilentKeySource source;
    HotkeyManager manager(source);
    manager.isRecordingActive = [] { return true; };
    const KeyEvent event{KeyEvent::Type::KeyDown, 0, mask(ModifierKey::Shift)};
    for (auto _ : state)
        benchmark::DoNotOptimize(manager.handle(event));
}
BENCHMARK(BM_DecideOrdinaryKey);

void BM_DecideModifierPress(benchmark::State &state) {
    SilentKeySource source;
    HotkeyManager manager(source);
    manager.setActivate(Shortcut::doubleTap(ModifierKey::Control));
    KeyEvent press{KeyEvent::Type::FlagsChanged, 59, mask(ModifierKey::Control)};
    press.time = std::chrono::steady_clock::now();
    const KeyEvent release{KeyEvent::Type::FlagsChanged, 59, 0};
    for (auto _ : state) {
        // Presses a second apart: every one is a first press, none starts anything.
        press.time += std::chrono::seconds(1);
        manager.handle(press);
        manager.handle(release);
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_DecideModifierPress);

void BM_TranslateRawKey(benchmark::State &state) {
    X11KeyTranslator translator;
    translator.press(xControl);
    for (auto _ : state) {
        benchmark::DoNotOptimize(translator.press(xKeyA));
        benchmark::DoNotOptimize(translator.release(xKeyA));
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_TranslateRawKey);

void BM_TranslateModifierChange(benchmark::State &state) {
    X11KeyTranslator translator;
    for (auto _ : state) {
        benchmark::DoNotOptimize(translator.press(xControl));
        benchmark::DoNotOptimize(translator.release(xControl));
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_TranslateModifierChange);

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
