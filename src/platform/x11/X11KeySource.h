#pragma once

#include "KeySource.h"
#include "X11KeyTranslator.h"

#include <QObject>
#include <QStringList>

#include <atomic>
#include <mutex>
#include <thread>

typedef struct _XDisplay Display;

namespace orvanta::x11 {

// Watches every key of the X session through XInput2 raw events on its own connection and
// thread, and consumes combinations with passive key grabs. A combination is matched only
// on the press its grab took, with the modifier state the server matched the grab against,
// so a key is consumed exactly when it fires; raw presses only end clean modifier taps.
// Keys typed through XTEST (our own paste keystroke) are told by their source device and
// not reported. Grab masks and modifier keys come from the keyboard map and follow its
// changes. Events reach the handler on the thread this object lives on (the main thread);
// no X request is made there per key.
class X11KeySource final : public QObject, public KeySource {
    Q_OBJECT

public:
    explicit X11KeySource(QObject *parent = nullptr);
    ~X11KeySource() override;

    void setHandler(Handler handler) override;
    // Needs XInput 2.2 to observe and XTEST to paste; false when the display lacks either.
    bool start() override;
    // False once the key thread ended on an error (the X connection broke); start() then
    // opens a new connection.
    bool isStarted() const override { return m_display != nullptr && m_running; }
    quint64 visibleModifiers() const override { return X11KeyTranslator::visibleModifiers(); }
    void setConsumedShortcuts(const QList<Shortcut> &shortcuts) override;

signals:
    // The grabs of the last requested set are in place, except for the combinations
    // another application holds (their display texts).
    void consumedShortcutsApplied(const QStringList &refused);

private:
    struct Grab {
        int xKeyCode = 0;
        unsigned modifiers = 0;
        unsigned numLock = 0; // the NumLock bit when it was grabbed
        QString display;
    };
    bool openDisplay();
    void readKeyboardMap();
    void readXTestDevices();
    void closeDisplay();
    Grab grabFor(const Shortcut &shortcut) const;
    unsigned xModifiers(const QList<ModifierKey> &mods) const;
    void wake();
    void run();
    void processPending();
    void handleRawEvent(int type, const void *data);
    void applyGrabs();
    bool grab(const Grab &grab);
    void ungrab(const Grab &grab);
    void deliver(const KeyEvent &event);

    Handler m_handler;
    Display *m_display = nullptr;
    int m_xiOpcode = 0;
    int m_xkbEventBase = -1;
    X11KeyTranslator::ModifierBits m_bits;
    QList<int> m_xtestDevices;
    std::atomic<bool> m_running = false;
    std::atomic<bool> m_connectionBroken = false;
    int m_wakePipe[2] = {-1, -1};
    std::thread m_thread;
    std::atomic<bool> m_stopping = false;

    // Shared between the main thread and the event thread.
    std::mutex m_grabMutex;
    QList<Shortcut> m_requested;
    bool m_grabsDirty = false;
    bool m_requestChanged = false;

    // Event thread only.
    X11KeyTranslator m_translator;
    std::array<bool, X11KeyTranslator::keyCodeCount> m_syntheticPress{}; // by X key code
    QList<Grab> m_active;
    QList<Grab> m_refused; // held by another client when last asked for
};

} // namespace orvanta::x11
