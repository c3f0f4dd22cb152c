#pragma once

#include "KeySource.h"
#include "Shortcut.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <optional>

namespace orvanta {

// Whether a key source that reports the modifiers in `visibleModifiers` can ever deliver
// `shortcut`. Combinations always can (fn is left out of their comparison); a double press
// needs its modifier to be visible.
bool shortcutCanFire(const Shortcut &shortcut, quint64 visibleModifiers);

// The Activate binding to listen for: the one bound, except that the built-in default (a
// binding the user never chose) falls back to Keybindings::fallbackActivate() where the key
// source can never report its modifier.
Shortcut effectiveActivate(const Shortcut &bound, bool chosenByUser, quint64 visibleModifiers);

// Turns the session's key events into the four dictation actions. Lives on the main
// thread; the key source delivers its events there.
class HotkeyManager : public QObject {
    Q_OBJECT

public:
    using Callback = std::function<void()>;
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // Largest press-to-press interval of a double press (inclusive).
    static constexpr std::chrono::milliseconds doubleTapWindow{400};

    explicit HotkeyManager(KeySource &source, QObject *parent = nullptr);
    HotkeyManager(KeySource &source, Clock clock, QObject *parent = nullptr);
    ~HotkeyManager() override;

    // Each runs later on the main thread, looked up when it runs.
    Callback onStart;
    Callback onStop;
    Callback onCancel;
    Callback onPasteLast;
    // Asked at the moment an event needs the answer.
    std::function<bool()> isRecordingActive = [] { return false; };

    // True when the key source runs; safe to call again.
    bool start();
    bool isStarted() const;

    Shortcut activate() const { return m_activate.shortcut; }
    Shortcut cancel() const { return m_cancel.shortcut; }
    Shortcut pasteLast() const { return m_pasteLast.shortcut; }
    void setActivate(const Shortcut &shortcut);
    void setCancel(const Shortcut &shortcut);
    void setPasteLast(const Shortcut &shortcut);

    // To be called whenever a recording starts or ends: the cancel combination is taken
    // from the other applications only while one runs.
    void recordingStateChanged();
    // What the key source is asked to consume now.
    QList<Shortcut> consumedShortcuts() const;

    // The modifiers the key source can report.
    quint64 visibleModifiers() const { return m_source.visibleModifiers(); }
    bool canFire(const Shortcut &shortcut) const;
    bool activateCanFire() const { return canFire(m_activate.shortcut); }

    // Decides about one event; true when it must not reach the focused application.
    bool handle(const KeyEvent &event);

signals:
    // The current Activate binding became usable or unusable with this key source.
    void activateCanFireChanged(bool canFire);

private:
    // A binding with what matching needs precomputed.
    struct Binding {
        Shortcut shortcut;
        bool isCombo = false;
        quint16 keyCode = 0;
        quint64 modifierMask = 0; // without fn
        quint64 tapMask = 0;      // the double-press modifier's mask, 0 for a combination

        static Binding from(const Shortcut &shortcut);
        bool matches(quint16 keyCode, quint64 heldMask) const {
            return isCombo && keyCode == this->keyCode && heldMask == modifierMask;
        }
    };

    bool handleKeyDown(const KeyEvent &event);
    void handleFlagsChanged(const KeyEvent &event, std::chrono::steady_clock::time_point seen);
    void interruptTap();
    bool recording() const;
    void post(Callback HotkeyManager::*callback);
    void bindingsChanged(bool activateChanged);
    void updateConsumedShortcuts();

    KeySource &m_source;
    Clock m_clock;
    Binding m_activate;
    Binding m_cancel;
    Binding m_pasteLast;
    // A press of the double-press modifier counts only as a clean tap: released with no
    // other key (modifiers included) pressed in between.
    bool m_modDown = false;
    bool m_tapClean = false;
    std::chrono::steady_clock::time_point m_modDownTime{};
    // The press time of the last clean tap that may be the first of a pair.
    std::optional<std::chrono::steady_clock::time_point> m_lastModDownTime;
    QList<Shortcut> m_consumed;
    bool m_consumedPushed = false;
    bool m_activateCouldFire = false;
};

} // namespace orvanta
