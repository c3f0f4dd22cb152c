#include "ShortcutRecorder.h"

#include "Keybindings.h"

#include <utility>

namespace orvanta {

ShortcutRecorder::ShortcutRecorder(const Keybindings &keybindings, KeybindAction action)
    : m_keybindings(keybindings)
    , m_action(action) {}

bool ShortcutRecorder::handle(const KeyEvent &event, const QString &characters) {
    const QList<ModifierKey> current = modifiersPresent(event.flags);
    if (event.type == KeyEvent::Type::FlagsChanged) {
        for (ModifierKey key : current) {
            if (!m_prevMods.contains(key))
                m_lastMod = key;
        }
        m_prevMods = current;
        if (current.isEmpty() && m_lastMod) {
            capture(Shortcut::doubleTap(*std::exchange(m_lastMod, std::nullopt)));
            return true;
        }
        return false;
    }
    // Releasing the modifiers of a combination must not turn into a double press.
    m_lastMod.reset();
    capture(Shortcut::combo(event.keyCode, current, keyLabel(event.keyCode, characters)));
    return true;
}

void ShortcutRecorder::capture(const Shortcut &shortcut) {
    m_captured = shortcut;
    m_conflict = m_keybindings.conflict(shortcut, m_action);
}

bool ShortcutRecorder::save(Keybindings &keybindings) const {
    if (!m_captured)
        return false;
    keybindings.setBinding(m_action, *m_captured);
    return true;
}

} // namespace orvanta
