#pragma once

#include "Shortcut.h"

#include <QObject>

namespace orvanta {

class PreferenceStore;

// The three bindings, each stored as a JSON document under its own key.
class Keybindings : public QObject {
    Q_OBJECT

public:
    static Shortcut defaultActivate();
    static Shortcut defaultCancel();
    static Shortcut defaultPaste();
    // The Activate default where fn cannot be seen: a double press of Control.
    static Shortcut fallbackActivate();
    static QString storageKey(KeybindAction action);

    explicit Keybindings(PreferenceStore &store, QObject *parent = nullptr);

    Shortcut activate() const { return m_activate; }
    Shortcut cancel() const { return m_cancel; }
    Shortcut pasteLast() const { return m_pasteLast; }
    Shortcut binding(KeybindAction action) const;
    // Whether the user chose the binding (it is stored), rather than running on the default.
    bool isChosen(KeybindAction action) const;

    void setActivate(const Shortcut &shortcut) { setBinding(KeybindAction::Activate, shortcut); }
    void setCancel(const Shortcut &shortcut) { setBinding(KeybindAction::Cancel, shortcut); }
    void setPasteLast(const Shortcut &shortcut) { setBinding(KeybindAction::PasteLast, shortcut); }
    void setBinding(KeybindAction action, const Shortcut &shortcut);

    void resetToDefaults();
    // Whether `shortcut` clashes with the binding of one of the two other actions.
    bool conflict(const Shortcut &shortcut, KeybindAction excluding) const;

signals:
    // After any binding was assigned; the new value is in place.
    void changed();

private:
    Shortcut load(KeybindAction action, const Shortcut &fallback) const;
    Shortcut &slot(KeybindAction action);

    PreferenceStore &m_store;
    Shortcut m_activate;
    Shortcut m_cancel;
    Shortcut m_pasteLast;
};

} // namespace orvanta
