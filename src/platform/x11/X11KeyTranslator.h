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

    // The modifier of each X key code (none for the others), as the keyboard map says.
    using ModifierKeys = std::array<std::optional<ModifierKey>, keyCodeCount>;
    // The modifier keys of a PC keyboard with no remapping, from the table.
    static ModifierKeys defaultModifierKeys();
    // The X modifier bits (Mod1…Mod5) that mean option and command on this keyboard map.
    struct ModifierBits {
        unsigned option = 0x08;  // Mod1Mask
        unsigned command = 0x40; // Mod4Mask
        unsigned numLock = 0x10; // Mod2Mask
    };
    // The modifier masks of an X modifier state; the lock modifiers and unknown bits are
    // left out.
    static quint64 flagsOfState(unsigned xState, const ModifierBits &bits);

    X11KeyTranslator();
    // Follows a changed keyboard map; the modifiers held stay held.
    void setModifierKeys(const ModifierKeys &keys);

    // The event a raw press makes, if any: a modifier press changes the flags, any other
    // key makes an OtherKeyDown (combinations are matched on grabbed presses only, see
    // grabbedPress). A held modifier's repeats make none.
    std::optional<KeyEvent> press(int xKeyCode);
    // The event of a press that one of our grabs took, with the modifier state the server
    // matched the grab against; nothing for a key outside the table.
    static std::optional<KeyEvent> grabbedPress(int xKeyCode, unsigned xState,
                                                const ModifierBits &bits);
    // A modifier release changes the flags; other releases make no event.
    std::optional<KeyEvent> release(int xKeyCode);
    // Starts over from the keys held at this moment.
    void reset(const std::array<bool, keyCodeCount> &pressed);

    quint64 flags() const { return m_flags; }

private:
    quint64 computeFlags() const;

    ModifierKeys m_modifierKeys;
    std::array<bool, keyCodeCount> m_modifierHeld{};
    quint64 m_flags = 0;
};

} // namespace orvanta::x11
