#include "Keybindings.h"

#include "Logging.h"
#include "PreferenceStore.h"

namespace orvanta {

Shortcut Keybindings::defaultActivate() {
    return Shortcut::doubleTap(ModifierKey::Fn);
}

Shortcut Keybindings::defaultCancel() {
    return Shortcut::combo(KeyCode::escape, {}, QStringLiteral("Esc"));
}

Shortcut Keybindings::defaultPaste() {
    return Shortcut::combo(KeyCode::v, {ModifierKey::Command, ModifierKey::Control},
                           QStringLiteral("V"));
}

Shortcut Keybindings::fallbackActivate() {
    return Shortcut::doubleTap(ModifierKey::Control);
}

QString Keybindings::storageKey(KeybindAction action) {
    switch (action) {
    case KeybindAction::Activate:
        return QStringLiteral("kbActivate");
    case KeybindAction::Cancel:
        return QStringLiteral("kbCancel");
    case KeybindAction::PasteLast:
        return QStringLiteral("kbPaste");
    }
    return {};
}

Keybindings::Keybindings(PreferenceStore &store, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_activate(load(KeybindAction::Activate, defaultActivate()))
    , m_cancel(load(KeybindAction::Cancel, defaultCancel()))
    , m_pasteLast(load(KeybindAction::PasteLast, defaultPaste())) {}

Shortcut Keybindings::load(KeybindAction action, const Shortcut &fallback) const {
    const QString key = storageKey(action);
    if (!m_store.contains(key))
        return fallback;
    if (const auto bytes = m_store.data(key)) {
        if (const auto shortcut = Shortcut::fromJson(*bytes))
            return *shortcut;
    }
    qCWarning(lcKeybindings) << "The binding stored under" << key
                             << "cannot be read; using the default" << fallback.display;
    return fallback;
}

Shortcut &Keybindings::slot(KeybindAction action) {
    switch (action) {
    case KeybindAction::Activate:
        return m_activate;
    case KeybindAction::Cancel:
        return m_cancel;
    case KeybindAction::PasteLast:
        break;
    }
    return m_pasteLast;
}

Shortcut Keybindings::binding(KeybindAction action) const {
    switch (action) {
    case KeybindAction::Activate:
        return m_activate;
    case KeybindAction::Cancel:
        return m_cancel;
    case KeybindAction::PasteLast:
        break;
    }
    return m_pasteLast;
}

bool Keybindings::isChosen(KeybindAction action) const {
    return m_store.contains(storageKey(action));
}

void Keybindings::setBinding(KeybindAction action, const Shortcut &shortcut) {
    slot(action) = shortcut;
    m_store.setData(storageKey(action), shortcut.toJson());
    emit changed();
}

void Keybindings::resetToDefaults() {
    setActivate(defaultActivate());
    setCancel(defaultCancel());
    setPasteLast(defaultPaste());
}

bool Keybindings::conflict(const Shortcut &shortcut, KeybindAction excluding) const {
    for (KeybindAction action : allKeybindActions) {
        if (action != excluding && shortcut.clashesWith(binding(action)))
            return true;
    }
    return false;
}

} // namespace orvanta
