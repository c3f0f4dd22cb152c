// The cost of deciding about one key event: the translation of a raw X key and the
// shortcut monitor's decision; and the whole evdev path, from the bytes a keyboard device
// delivers to the decision.

#include "EvdevKeySource.h"
#include "HotkeyManager.h"
#include "X11KeyTranslator.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <linux/input.h>
#include <sys/stat.h>
#include <unistd.h>

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

// A recorded keyboard (a FIFO standing for its device node) read by the evdev source, the
// real shortcut monitor deciding: 32 key events per batch (presses and releases of A with
// Ctrl held), each followed by its SYN_REPORT as a device sends them.
void BM_EvdevKeyEvent(benchmark::State &state) {
    QTemporaryDir nodes;
    const QByteArray node = QFile::encodeName(nodes.filePath(QStringLiteral("event0")));
    mkfifo(node.constData(), 0600);
    orvanta::wayland::EvdevKeySource source(nodes.path(), [](int) {
        return orvanta::wayland::EvdevCapabilities{true, true, {}};
    });
    HotkeyManager manager(source);
    manager.isRecordingActive = [] { return true; };
    if (!manager.start()) {
        state.SkipWithError("the source did not open the recorded keyboard");
        return;
    }
    const int writer = ::open(node.constData(), O_WRONLY | O_NONBLOCK);
    constexpr int keyEvents = 32;
    std::vector<input_event> batch;
    const auto add = [&batch](int type, int code, int value) {
        input_event event{};
        event.type = quint16(type);
        event.code = quint16(code);
        event.value = value;
        batch.push_back(event);
    };
    for (int i = 0; i < keyEvents; ++i) {
        add(EV_KEY, i == 0 ? KEY_LEFTCTRL : KEY_A, i == 0 || i % 2 == 1 ? 1 : 0);
        add(EV_SYN, SYN_REPORT, 0);
    }
    for (auto _ : state) {
        if (::write(writer, batch.data(), batch.size() * sizeof(input_event)) < 0) {
            state.SkipWithError("write failed");
            break;
        }
        QCoreApplication::processEvents();
    }
    ::close(writer);
    state.SetItemsProcessed(state.iterations() * keyEvents);
}
BENCHMARK(BM_EvdevKeyEvent);

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
