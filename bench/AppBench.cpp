// The running application as a user meets it: the time from start to its icon in the tray,
// its memory and processor use while idle, and the time from the stop key to the text in
// the focused window with a service that answers at once.
//
// Needs an X server, a sound server and a Secret Service; it starts its own tray host
// (trayer), test service and target window. Run it inside the three wrapper scripts:
//   tests/scripts/with-secret-service.sh tests/scripts/with-xvfb.sh
//   tests/scripts/with-pulseaudio.sh build/rel/bench/bench_app

#include "E2eSupport.h"
#include "Keybindings.h"
#include "PreferenceStore.h"
#include "X11TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <memory>

using namespace orvanta;
using namespace orvanta::e2e;
using namespace std::chrono_literals;

namespace {

const QString transcript = QStringLiteral("benchmark text arrives at once");

// An X connection of our own for looking at the tray.
class XView {
public:
    XView()
        : m_display(XOpenDisplay(nullptr)) {}
    ~XView() {
        if (m_display)
            XCloseDisplay(m_display);
    }
    bool trayHostRunning() const {
        return XGetSelectionOwner(m_display,
                                  XInternAtom(m_display, "_NET_SYSTEM_TRAY_S0", False)) != None;
    }
    // A window of orvanta that the tray host has taken in and shows.
    bool iconEmbedded() const { return embeddedIn(DefaultRootWindow(m_display)); }

private:
    bool embeddedIn(Window window) const {
        Window root = 0;
        Window parent = 0;
        Window *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(m_display, window, &root, &parent, &children, &count))
            return false;
        bool found = false;
        for (unsigned i = 0; i < count && !found; ++i)
            found =
                (window != root && isShownOrvantaWindow(children[i])) || embeddedIn(children[i]);
        if (children)
            XFree(children);
        return found;
    }
    bool isShownOrvantaWindow(Window window) const {
        XClassHint hint{};
        if (!XGetClassHint(m_display, window, &hint))
            return false;
        const bool ours = hint.res_name && QByteArray(hint.res_name).contains("orvanta");
        XFree(hint.res_name);
        XFree(hint.res_class);
        XWindowAttributes attributes{};
        return ours && XGetWindowAttributes(m_display, window, &attributes) &&
               attributes.map_state == IsViewable;
    }

    Display *m_display;
};

struct ProcessTimes {
    double cpuSeconds = 0;
    double residentMb = 0;
};

ProcessTimes processTimes(qint64 pid) {
    ProcessTimes times;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        // Fields after the command name, which ends with the last ')'.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 12)
            times.cpuSeconds = double(fields[11].toLongLong() + fields[12].toLongLong()) /
                               double(::sysconf(_SC_CLK_TCK));
    }
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                times.residentMb = line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
        }
    }
    return times;
}

struct Desktop {
    QProcess trayHost;
    XView view;
    DictationService service{QStringLiteral("bench@example.com")};
    test::XKeyboard keyboard;
    test::TargetApp target;
    Microphone microphone;

    bool start() {
        trayHost.start(QStringLiteral("trayer"),
                       {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                        QStringLiteral("right"), QStringLiteral("--widthtype"),
                        QStringLiteral("request"), QStringLiteral("--height"),
                        QStringLiteral("32")});
        return trayHost.waitForStarted(10000) &&
               waitUntil([this] { return view.trayHostRunning(); }, 20s) && service.start() &&
               keyboard.isOpen() && microphone.startSteadyStream() && target.start(keyboard);
    }
    ~Desktop() {
        trayHost.terminate();
        if (!trayHost.waitForFinished(5000))
            trayHost.kill();
    }
};

Desktop *desktop = nullptr;

void BM_StartToTrayReady(benchmark::State &state) {
    for (auto _ : state) {
        OrvantaProcess app(desktop->service.baseUrl());
        QElapsedTimer clock;
        clock.start();
        if (!app.start() || !waitUntil([&] { return desktop->view.iconEmbedded(); }, 60s)) {
            state.SkipWithError("the tray icon did not appear");
            return;
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        app.quit();
        // The next start must find no icon of this one.
        waitUntil([&] { return !desktop->view.iconEmbedded(); }, 10s);
    }
}
BENCHMARK(BM_StartToTrayReady)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_Idle60Seconds(benchmark::State &state) {
    OrvantaProcess app(desktop->service.baseUrl());
    if (!app.launch()) {
        state.SkipWithError("orvanta did not start");
        return;
    }
    QTest::qWait(5000); // start-up work is not idle work
    for (auto _ : state) {
        const ProcessTimes before = processTimes(app.pid());
        QElapsedTimer clock;
        clock.start();
        QTest::qWait(60000);
        const ProcessTimes after = processTimes(app.pid());
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        state.counters["cpu_percent"] = 100.0 * (after.cpuSeconds - before.cpuSeconds) / seconds;
        state.counters["rss_mb"] = after.residentMb;
    }
}
BENCHMARK(BM_Idle60Seconds)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

void BM_StopToTextPasted(benchmark::State &state) {
    OrvantaProcess app(desktop->service.baseUrl());
    {
        PreferenceStore store(app.configFile());
        Keybindings(store).setActivate(Shortcut::doubleTap(ModifierKey::Control));
    }
    if (!app.launch() || app.run({QStringLiteral("--sign-in")}).exitCode != 0 ||
        !app.waitForStatus(QStringLiteral("idle\tsigned-in"), 30s) ||
        !desktop->service.command(QStringLiteral("transcript ") + transcript)) {
        state.SkipWithError("orvanta did not start signed in");
        return;
    }
    test::TargetApp &target = desktop->target;
    double toRequestMs = 0;
    int measured = 0;
    for (auto _ : state) {
        target.command(QStringLiteral("clear-field"));
        target.forget();
        desktop->keyboard.tap("Control_L");
        desktop->keyboard.tap("Control_L");
        if (!app.waitForStatus(QStringLiteral("recording\tsigned-in"), 20s)) {
            state.SkipWithError("the shortcut did not start a recording");
            return;
        }
        // A null sink's monitor delivers once something plays into it: speak.
        if (!desktop->microphone.speak(QStringLiteral("Measure this."))) {
            state.SkipWithError("the speech did not play");
            return;
        }
        const auto stopped = std::chrono::steady_clock::now();
        desktop->keyboard.tap("Control_L");
        if (!target.waitForLine(QStringLiteral("text ") + transcript, 30000)) {
            state.SkipWithError("the text did not arrive");
            return;
        }
        const auto pasted = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(pasted - stopped).count());
        // Where the time goes: up to the request at the service, and from there on.
        const auto requested = desktop->service.lastArrival(QStringLiteral("/transcribe"));
        if (requested && *requested > stopped) {
            toRequestMs += std::chrono::duration<double, std::milli>(*requested - stopped).count();
            ++measured;
        }
        app.waitForStatus(QStringLiteral("idle\tsigned-in"), 10s);
        QTest::qWait(500); // the clipboard is given back
    }
    if (measured > 0)
        state.counters["stop_to_request_ms"] = toRequestMs / measured;
}
BENCHMARK(BM_StopToTextPasted)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    auto session = std::make_unique<Desktop>();
    if (!session->start()) {
        fprintf(stderr, "bench_app: the desktop (tray host, service, target window) did not "
                        "start\n");
        return 1;
    }
    desktop = session.get();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
