#include "RecorderKeyTranslator.h"

#include <array>

namespace orvanta {

namespace {

struct KeyMapping {
    int qtKey;
    quint16 keyCode;
    char16_t base; // what the key types unshifted, 0 for keys that type nothing
};

// Qt keys to the positions of a US ANSI keyboard, shifted symbols on their key.
constexpr KeyMapping keyTable[] = {
    {Qt::Key_A, 0, u'a'},
    {Qt::Key_S, 1, u's'},
    {Qt::Key_D, 2, u'd'},
    {Qt::Key_F, 3, u'f'},
    {Qt::Key_H, 4, u'h'},
    {Qt::Key_G, 5, u'g'},
    {Qt::Key_Z, 6, u'z'},
    {Qt::Key_X, 7, u'x'},
    {Qt::Key_C, 8, u'c'},
    {Qt::Key_V, 9, u'v'},
    {Qt::Key_B, 11, u'b'},
    {Qt::Key_Q, 12, u'q'},
    {Qt::Key_W, 13, u'w'},
    {Qt::Key_E, 14, u'e'},
    {Qt::Key_R, 15, u'r'},
    {Qt::Key_Y, 16, u'y'},
    {Qt::Key_T, 17, u't'},
    {Qt::Key_1, 18, u'1'},
    {Qt::Key_Exclam, 18, u'1'},
    {Qt::Key_2, 19, u'2'},
    {Qt::Key_At, 19, u'2'},
    {Qt::Key_3, 20, u'3'},
    {Qt::Key_NumberSign, 20, u'3'},
    {Qt::Key_4, 21, u'4'},
    {Qt::Key_Dollar, 21, u'4'},
    {Qt::Key_6, 22, u'6'},
    {Qt::Key_AsciiCircum, 22, u'6'},
    {Qt::Key_5, 23, u'5'},
    {Qt::Key_Percent, 23, u'5'},
    {Qt::Key_Equal, 24, u'='},
    {Qt::Key_Plus, 24, u'='},
    {Qt::Key_9, 25, u'9'},
    {Qt::Key_ParenLeft, 25, u'9'},
    {Qt::Key_7, 26, u'7'},
    {Qt::Key_Ampersand, 26, u'7'},
    {Qt::Key_Minus, 27, u'-'},
    {Qt::Key_Underscore, 27, u'-'},
    {Qt::Key_8, 28, u'8'},
    {Qt::Key_Asterisk, 28, u'8'},
    {Qt::Key_0, 29, u'0'},
    {Qt::Key_ParenRight, 29, u'0'},
    {Qt::Key_BracketRight, 30, u']'},
    {Qt::Key_BraceRight, 30, u']'},
    {Qt::Key_O, 31, u'o'},
    {Qt::Key_U, 32, u'u'},
    {Qt::Key_BracketLeft, 33, u'['},
    {Qt::Key_BraceLeft, 33, u'['},
    {Qt::Key_I, 34, u'i'},
    {Qt::Key_P, 35, u'p'},
    {Qt::Key_Return, 36, 0},
    {Qt::Key_L, 37, u'l'},
    {Qt::Key_J, 38, u'j'},
    {Qt::Key_Apostrophe, 39, u'\''},
    {Qt::Key_QuoteDbl, 39, u'\''},
    {Qt::Key_K, 40, u'k'},
    {Qt::Key_Semicolon, 41, u';'},
    {Qt::Key_Colon, 41, u';'},
    {Qt::Key_Backslash, 42, u'\\'},
    {Qt::Key_Bar, 42, u'\\'},
    {Qt::Key_Comma, 43, u','},
    {Qt::Key_Less, 43, u','},
    {Qt::Key_Slash, 44, u'/'},
    {Qt::Key_Question, 44, u'/'},
    {Qt::Key_N, 45, u'n'},
    {Qt::Key_M, 46, u'm'},
    {Qt::Key_Period, 47, u'.'},
    {Qt::Key_Greater, 47, u'.'},
    {Qt::Key_Tab, 48, 0},
    {Qt::Key_Backtab, 48, 0},
    {Qt::Key_Space, 49, 0},
    {Qt::Key_QuoteLeft, 50, u'`'},
    {Qt::Key_AsciiTilde, 50, u'`'},
    {Qt::Key_Backspace, 51, 0},
    {Qt::Key_Escape, 53, 0},
    {Qt::Key_Enter, 76, 0},
    {Qt::Key_F5, 96, 0},
    {Qt::Key_F6, 97, 0},
    {Qt::Key_F7, 98, 0},
    {Qt::Key_F3, 99, 0},
    {Qt::Key_F8, 100, 0},
    {Qt::Key_F9, 101, 0},
    {Qt::Key_F11, 103, 0},
    {Qt::Key_F10, 109, 0},
    {Qt::Key_F12, 111, 0},
    {Qt::Key_Insert, 114, 0},
    {Qt::Key_Home, 115, 0},
    {Qt::Key_PageUp, 116, 0},
    {Qt::Key_Delete, 117, 0},
    {Qt::Key_F4, 118, 0},
    {Qt::Key_End, 119, 0},
    {Qt::Key_F2, 120, 0},
    {Qt::Key_PageDown, 121, 0},
    {Qt::Key_F1, 122, 0},
    {Qt::Key_Left, 123, 0},
    {Qt::Key_Right, 124, 0},
    {Qt::Key_Down, 125, 0},
    {Qt::Key_Up, 126, 0},
};

struct ModifierMapping {
    int qtKey;
    ModifierKey modifier;
};

constexpr std::array<ModifierMapping, 7> modifierTable{{
    {Qt::Key_Shift, ModifierKey::Shift},
    {Qt::Key_Control, ModifierKey::Control},
    {Qt::Key_Alt, ModifierKey::Option},
    {Qt::Key_AltGr, ModifierKey::Option},
    {Qt::Key_Meta, ModifierKey::Command},
    {Qt::Key_Super_L, ModifierKey::Command},
    {Qt::Key_Super_R, ModifierKey::Command},
}};

} // namespace

std::optional<quint16> RecorderKeyTranslator::keyCodeFor(int qtKey) {
    for (const KeyMapping &mapping : keyTable) {
        if (mapping.qtKey == qtKey)
            return mapping.keyCode;
    }
    return std::nullopt;
}

std::optional<ModifierKey> RecorderKeyTranslator::modifierFor(int qtKey) {
    for (const ModifierMapping &mapping : modifierTable) {
        if (mapping.qtKey == qtKey)
            return mapping.modifier;
    }
    return std::nullopt;
}

quint64 RecorderKeyTranslator::flagsFor(Qt::KeyboardModifiers modifiers) {
    quint64 flags = 0;
    if (modifiers & Qt::ShiftModifier)
        flags |= mask(ModifierKey::Shift);
    if (modifiers & Qt::ControlModifier)
        flags |= mask(ModifierKey::Control);
    if (modifiers & Qt::AltModifier)
        flags |= mask(ModifierKey::Option);
    if (modifiers & Qt::MetaModifier)
        flags |= mask(ModifierKey::Command);
    return flags;
}

QString RecorderKeyTranslator::baseCharacters(quint16 keyCode) {
    for (const KeyMapping &mapping : keyTable) {
        if (mapping.keyCode == keyCode)
            return mapping.base ? QString(QChar(mapping.base)) : QString();
    }
    return {};
}

// Some platforms report a modifier's own press with the state from before it, others with
// the state after; the key's own bit is set (or cleared on release) either way.
std::optional<RecorderKey> RecorderKeyTranslator::press(int qtKey, Qt::KeyboardModifiers modifiers,
                                                        std::optional<quint16> positionCode) {
    const quint64 flags = flagsFor(modifiers);
    if (const auto modifier = modifierFor(qtKey)) {
        return RecorderKey{
            {KeyEvent::Type::FlagsChanged, positionCode.value_or(0), flags | mask(*modifier)}, {}};
    }
    const std::optional<quint16> keyCode = positionCode ? positionCode : keyCodeFor(qtKey);
    if (!keyCode)
        return std::nullopt;
    return RecorderKey{{KeyEvent::Type::KeyDown, *keyCode, flags}, baseCharacters(*keyCode)};
}

std::optional<RecorderKey> RecorderKeyTranslator::release(int qtKey,
                                                          Qt::KeyboardModifiers modifiers) {
    const auto modifier = modifierFor(qtKey);
    if (!modifier)
        return std::nullopt;
    return RecorderKey{{KeyEvent::Type::FlagsChanged, 0, flagsFor(modifiers) & ~mask(*modifier)},
                       {}};
}

} // namespace orvanta
