#pragma once

#include "Shortcut.h"

#include <QList>

#include <chrono>
#include <functional>

namespace orvanta {

// One key event in the stored bindings' terms: their key codes and modifier masks.
struct KeyEvent {
    enum class Type : quint8 {
        KeyDown,      // an ordinary key went down (auto-repeat included)
        FlagsChanged, // a modifier key went down or up; `flags` is the state afterwards
        // A key went down that matches no combination here: a key without a code of ours, or
        // a press the source also reports as a KeyDown of its own (a grabbed key). It only
        // tells that something was typed.
        OtherKeyDown
    };

    Type type = Type::KeyDown;
    quint16 keyCode = 0;
    quint64 flags = 0; // the modifier masks held, see mask(ModifierKey)
    // When the source saw the key; the default means "when it is handled".
    std::chrono::steady_clock::time_point time{};
};

// Observes the key presses of the whole session and takes the combinations it is told to
// consume away from the other applications.
class KeySource {
public:
    // Called on the main thread for every event the user typed; keys the session synthesized
    // (this application's own paste keystroke among them) are not reported. Answers whether
    // the event is consumed.
    // Sources that consume by other means (grabs) may ignore the answer.
    using Handler = std::function<bool(const KeyEvent &)>;

    virtual ~KeySource() = default;

    virtual void setHandler(Handler handler) = 0;
    // True when the source runs (already, or from now on); false when the session does not
    // offer what it needs. Safe to call again after a failure.
    virtual bool start() = 0;
    // False again once the source stopped on an error; start() may then be tried again.
    virtual bool isStarted() const = 0;
    // The masks of the modifiers whose presses this source can report.
    virtual quint64 visibleModifiers() const = 0;
    // The combinations no other application may receive from now on; replaces the last set.
    virtual void setConsumedShortcuts(const QList<Shortcut> &shortcuts) = 0;
};

} // namespace orvanta
