#pragma once

#include "KeySource.h"
#include "Shortcut.h"

#include <array>
#include <optional>

namespace orvanta::x11 {

// Turns raw X key presses and releases into KeyEvents: the one table from X key codes to
// the bindings' key codes, and the modifier state, tracked key by key (raw events carry no
// modifier state of their own).
class X11KeyTranslator {
public:
    // X key codes are Linux input codes plus 8; they stop at 255.
    static constexpr int evdevOffset = 8;
    static constexpr int keyCodeCount = 256;

    static std::optional<quint16> keyCodeFor(int xKeyCode);
    static std::optional<int> xKeyCodeFor(quint16 keyCode);
    static std::optional<ModifierKey> modifierFor(int xKeyCode);
    // fn's code (KEY_FN, 464) lies beyond what X can carry.
    static quint64 visibleModifiers();

    // The event a press makes, if any: a modifier press changes the flags, a key in the
    // table goes down with the flags held. A held modifier's repeats make none.
    std::optional<KeyEvent> press(int xKeyCode);
    // A modifier release changes the flags; other releases make no event.
    std::optional<KeyEvent> release(int xKeyCode);
    // Starts over from the keys held at this moment.
    void reset(const std::array<bool, keyCodeCount> &pressed);

    quint64 flags() const { return m_flags; }

private:
    quint64 computeFlags() const;

    std::array<bool, keyCodeCount> m_modifierHeld{};
    quint64 m_flags = 0;
};

} // namespace orvanta::x11
