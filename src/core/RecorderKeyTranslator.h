#pragma once

#include "KeySource.h"
#include "Shortcut.h"

#include <QString>

#include <optional>

namespace orvanta {

// A key event of a window in the stored bindings' terms, with the characters the key types
// without modifiers (for its label).
struct RecorderKey {
    KeyEvent event;
    QString characters;
};

// Turns the key presses and releases a window receives (Qt key, modifiers) into the key codes
// and modifier masks the bindings use. The Super key stands for ⌘ and Alt for ⌥, as the
// global key source has them.
class RecorderKeyTranslator {
public:
    // `positionCode` is the stored code of the physical key when the platform reports it;
    // otherwise the code comes from the Qt key on a US layout. Keys without a code give
    // nothing.
    static std::optional<RecorderKey> press(int qtKey, Qt::KeyboardModifiers modifiers,
                                            std::optional<quint16> positionCode = std::nullopt);
    // Only modifier releases make an event.
    static std::optional<RecorderKey> release(int qtKey, Qt::KeyboardModifiers modifiers);

    static std::optional<quint16> keyCodeFor(int qtKey);
    static std::optional<ModifierKey> modifierFor(int qtKey);
    static quint64 flagsFor(Qt::KeyboardModifiers modifiers);
    // What the key at a stored code types unshifted on a US layout; empty for other keys.
    static QString baseCharacters(quint16 keyCode);
};

} // namespace orvanta
