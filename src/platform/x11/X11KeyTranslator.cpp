#include "X11KeyTranslator.h"

#include <linux/input-event-codes.h>

namespace orvanta::x11 {

namespace {

struct KeyMapping {
    int linuxCode;
    quint16 keyCode; // the code stored bindings use (positions of an ANSI keyboard)
    std::optional<ModifierKey> modifier;
};

// The one table between the two key code worlds.
constexpr KeyMapping keyTable[] = {
    {KEY_A, 0, {}},
    {KEY_S, 1, {}},
    {KEY_D, 2, {}},
    {KEY_F, 3, {}},
    {KEY_H, 4, {}},
    {KEY_G, 5, {}},
    {KEY_Z, 6, {}},
    {KEY_X, 7, {}},
    {KEY_C, 8, {}},
    {KEY_V, 9, {}},
    {KEY_102ND, 10, {}},
    {KEY_B, 11, {}},
    {KEY_Q, 12, {}},
    {KEY_W, 13, {}},
    {KEY_E, 14, {}},
    {KEY_R, 15, {}},
    {KEY_Y, 16, {}},
    {KEY_T, 17, {}},
    {KEY_1, 18, {}},
    {KEY_2, 19, {}},
    {KEY_3, 20, {}},
    {KEY_4, 21, {}},
    {KEY_6, 22, {}},
    {KEY_5, 23, {}},
    {KEY_EQUAL, 24, {}},
    {KEY_9, 25, {}},
    {KEY_7, 26, {}},
    {KEY_MINUS, 27, {}},
    {KEY_8, 28, {}},
    {KEY_0, 29, {}},
    {KEY_RIGHTBRACE, 30, {}},
    {KEY_O, 31, {}},
    {KEY_U, 32, {}},
    {KEY_LEFTBRACE, 33, {}},
    {KEY_I, 34, {}},
    {KEY_P, 35, {}},
    {KEY_ENTER, 36, {}},
    {KEY_L, 37, {}},
    {KEY_J, 38, {}},
    {KEY_APOSTROPHE, 39, {}},
    {KEY_K, 40, {}},
    {KEY_SEMICOLON, 41, {}},
    {KEY_BACKSLASH, 42, {}},
    {KEY_COMMA, 43, {}},
    {KEY_SLASH, 44, {}},
    {KEY_N, 45, {}},
    {KEY_M, 46, {}},
    {KEY_DOT, 47, {}},
    {KEY_TAB, 48, {}},
    {KEY_SPACE, 49, {}},
    {KEY_GRAVE, 50, {}},
    {KEY_BACKSPACE, 51, {}},
    {KEY_ESC, 53, {}},
    {KEY_RIGHTMETA, 54, ModifierKey::Command},
    {KEY_LEFTMETA, 55, ModifierKey::Command},
    {KEY_LEFTSHIFT, 56, ModifierKey::Shift},
    {KEY_LEFTALT, 58, ModifierKey::Option},
    {KEY_LEFTCTRL, 59, ModifierKey::Control},
    {KEY_RIGHTSHIFT, 60, ModifierKey::Shift},
    {KEY_RIGHTALT, 61, ModifierKey::Option},
    {KEY_RIGHTCTRL, 62, ModifierKey::Control},
    {KEY_F17, 64, {}},
    {KEY_KPDOT, 65, {}},
    {KEY_KPASTERISK, 67, {}},
    {KEY_KPPLUS, 69, {}},
    {KEY_KPSLASH, 75, {}},
    {KEY_KPENTER, 76, {}},
    {KEY_KPMINUS, 78, {}},
    {KEY_F18, 79, {}},
    {KEY_F19, 80, {}},
    {KEY_KPEQUAL, 81, {}},
    {KEY_KP0, 82, {}},
    {KEY_KP1, 83, {}},
    {KEY_KP2, 84, {}},
    {KEY_KP3, 85, {}},
    {KEY_KP4, 86, {}},
    {KEY_KP5, 87, {}},
    {KEY_KP6, 88, {}},
    {KEY_KP7, 89, {}},
    {KEY_F20, 90, {}},
    {KEY_KP8, 91, {}},
    {KEY_KP9, 92, {}},
    {KEY_F5, 96, {}},
    {KEY_F6, 97, {}},
    {KEY_F7, 98, {}},
    {KEY_F3, 99, {}},
    {KEY_F8, 100, {}},
    {KEY_F9, 101, {}},
    {KEY_F11, 103, {}},
    {KEY_F13, 105, {}},
    {KEY_F16, 106, {}},
    {KEY_F14, 107, {}},
    {KEY_F10, 109, {}},
    {KEY_F12, 111, {}},
    {KEY_F15, 113, {}},
    {KEY_INSERT, 114, {}},
    {KEY_HOME, 115, {}},
    {KEY_PAGEUP, 116, {}},
    {KEY_DELETE, 117, {}},
    {KEY_F4, 118, {}},
    {KEY_END, 119, {}},
    {KEY_F2, 120, {}},
    {KEY_PAGEDOWN, 121, {}},
    {KEY_F1, 122, {}},
    {KEY_LEFT, 123, {}},
    {KEY_RIGHT, 124, {}},
    {KEY_DOWN, 125, {}},
    {KEY_UP, 126, {}},
};

struct XLookup {
    std::array<const KeyMapping *, X11KeyTranslator::keyCodeCount> byXKeyCode{};

    XLookup() {
        for (const KeyMapping &mapping : keyTable) {
            const int xKeyCode = mapping.linuxCode + X11KeyTranslator::evdevOffset;
            if (xKeyCode < X11KeyTranslator::keyCodeCount)
                byXKeyCode[xKeyCode] = &mapping;
        }
    }
};

const KeyMapping *lookup(int xKeyCode) {
    static const XLookup table;
    if (xKeyCode < 0 || xKeyCode >= X11KeyTranslator::keyCodeCount)
        return nullptr;
    return table.byXKeyCode[xKeyCode];
}

} // namespace

std::optional<quint16> X11KeyTranslator::keyCodeFor(int xKeyCode) {
    if (const KeyMapping *mapping = lookup(xKeyCode))
        return mapping->keyCode;
    return std::nullopt;
}

std::optional<int> X11KeyTranslator::xKeyCodeFor(quint16 keyCode) {
    for (const KeyMapping &mapping : keyTable) {
        const int xKeyCode = mapping.linuxCode + evdevOffset;
        if (mapping.keyCode == keyCode && xKeyCode < keyCodeCount)
            return xKeyCode;
    }
    return std::nullopt;
}

std::optional<ModifierKey> X11KeyTranslator::modifierFor(int xKeyCode) {
    if (const KeyMapping *mapping = lookup(xKeyCode))
        return mapping->modifier;
    return std::nullopt;
}

quint64 X11KeyTranslator::visibleModifiers() {
    quint64 visible = 0;
    for (const KeyMapping &mapping : keyTable) {
        if (mapping.modifier && mapping.linuxCode + evdevOffset < keyCodeCount)
            visible |= mask(*mapping.modifier);
    }
    return visible;
}

X11KeyTranslator::ModifierKeys X11KeyTranslator::defaultModifierKeys() {
    ModifierKeys keys{};
    for (int xKeyCode = 0; xKeyCode < keyCodeCount; ++xKeyCode)
        keys[xKeyCode] = modifierFor(xKeyCode);
    return keys;
}

quint64 X11KeyTranslator::flagsOfState(unsigned xState, const ModifierBits &bits) {
    constexpr unsigned shiftMask = 1u << 0;
    constexpr unsigned controlMask = 1u << 2;
    quint64 flags = 0;
    if (xState & shiftMask)
        flags |= mask(ModifierKey::Shift);
    if (xState & controlMask)
        flags |= mask(ModifierKey::Control);
    if (bits.option && (xState & bits.option))
        flags |= mask(ModifierKey::Option);
    if (bits.command && (xState & bits.command))
        flags |= mask(ModifierKey::Command);
    return flags;
}

X11KeyTranslator::X11KeyTranslator()
    : m_modifierKeys(defaultModifierKeys()) {}

void X11KeyTranslator::setModifierKeys(const ModifierKeys &keys) {
    m_modifierKeys = keys;
    m_flags = computeFlags();
}

std::optional<KeyEvent> X11KeyTranslator::press(int xKeyCode) {
    if (xKeyCode < 0 || xKeyCode >= keyCodeCount)
        return std::nullopt;
    const auto modifier = m_modifierKeys[xKeyCode];
    if (!modifier) {
        return KeyEvent{KeyEvent::Type::OtherKeyDown, keyCodeFor(xKeyCode).value_or(0), m_flags};
    }
    if (m_modifierHeld[xKeyCode])
        return std::nullopt;
    m_modifierHeld[xKeyCode] = true;
    m_flags = computeFlags();
    return KeyEvent{KeyEvent::Type::FlagsChanged, keyCodeFor(xKeyCode).value_or(0), m_flags};
}

std::optional<KeyEvent> X11KeyTranslator::grabbedPress(int xKeyCode, unsigned xState,
                                                       const ModifierBits &bits) {
    const auto keyCode = keyCodeFor(xKeyCode);
    if (!keyCode)
        return std::nullopt;
    return KeyEvent{KeyEvent::Type::KeyDown, *keyCode, flagsOfState(xState, bits)};
}

std::optional<KeyEvent> X11KeyTranslator::release(int xKeyCode) {
    if (xKeyCode < 0 || xKeyCode >= keyCodeCount || !m_modifierHeld[xKeyCode])
        return std::nullopt;
    m_modifierHeld[xKeyCode] = false;
    m_flags = computeFlags();
    return KeyEvent{KeyEvent::Type::FlagsChanged, keyCodeFor(xKeyCode).value_or(0), m_flags};
}

void X11KeyTranslator::reset(const std::array<bool, keyCodeCount> &pressed) {
    for (int xKeyCode = 0; xKeyCode < keyCodeCount; ++xKeyCode)
        m_modifierHeld[xKeyCode] = pressed[xKeyCode] && m_modifierKeys[xKeyCode].has_value();
    m_flags = computeFlags();
}

quint64 X11KeyTranslator::computeFlags() const {
    quint64 flags = 0;
    for (int xKeyCode = 0; xKeyCode < keyCodeCount; ++xKeyCode) {
        if (m_modifierHeld[xKeyCode] && m_modifierKeys[xKeyCode])
            flags |= mask(*m_modifierKeys[xKeyCode]);
    }
    return flags;
}

} // namespace orvanta::x11
