#pragma once

#include "KeySource.h"
#include "Shortcut.h"

#include <QList>

#include <optional>

namespace orvanta {

class Keybindings;

// Captures a new shortcut for one action from key events: a key with the modifiers held, or
// a modifier pressed and released on its own, which stands for a double press of it. Each
// capture is checked against the two other actions' bindings; nothing is stored until save().
class ShortcutRecorder {
public:
    ShortcutRecorder(const Keybindings &keybindings, KeybindAction action);

    KeybindAction action() const { return m_action; }
    std::optional<Shortcut> captured() const { return m_captured; }
    bool conflict() const { return m_conflict; }
    bool canSave() const { return m_captured && !m_conflict; }

    // True when the event changed the capture. `characters` are what the key types without
    // modifiers; they name keys that have no label of their own.
    bool handle(const KeyEvent &event, const QString &characters = {});
    // Writes the capture into `keybindings`; false (and nothing written) without one.
    bool save(Keybindings &keybindings) const;

private:
    void capture(const Shortcut &shortcut);

    const Keybindings &m_keybindings;
    KeybindAction m_action;
    std::optional<Shortcut> m_captured;
    bool m_conflict = false;
    QList<ModifierKey> m_prevMods;
    std::optional<ModifierKey> m_lastMod;
};

} // namespace orvanta
