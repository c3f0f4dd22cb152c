#include "DesktopTriggers.h"

#include "X11KeyTranslator.h"

#include <QStringList>

#include <xkbcommon/xkbcommon.h>

#include <memory>

namespace orvanta::wayland {

namespace {

// The layout's keymap, compiled once.
class Layout {
public:
    Layout() {
        m_context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        if (!m_context)
            return;
        const xkb_rule_names names{}; // the XKB_DEFAULT_* variables, else evdev/pc105/us
        m_keymap = xkb_keymap_new_from_names(m_context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
        if (m_keymap)
            m_state = xkb_state_new(m_keymap);
    }
    ~Layout() {
        if (m_state)
            xkb_state_unref(m_state);
        if (m_keymap)
            xkb_keymap_unref(m_keymap);
        if (m_context)
            xkb_context_unref(m_context);
    }
    Layout(const Layout &) = delete;
    Layout &operator=(const Layout &) = delete;

    xkb_keysym_t keysym(int xKeyCode) const {
        return m_state ? xkb_state_key_get_one_sym(m_state, xkb_keycode_t(xKeyCode))
                       : XKB_KEY_NoSymbol;
    }

private:
    xkb_context *m_context = nullptr;
    xkb_keymap *m_keymap = nullptr;
    xkb_state *m_state = nullptr;
};

const Layout &layout() {
    static const Layout instance;
    return instance;
}

// KGlobalAccel reads Qt's key names.
QString kdeKeyName(const QString &keysym) {
    static const QList<std::pair<const char *, const char *>> names = {
        {"Escape", "Esc"},  {"space", "Space"},   {"BackSpace", "Backspace"},
        {"Delete", "Del"},  {"Insert", "Ins"},    {"Prior", "PgUp"},
        {"Next", "PgDown"}, {"Return", "Return"}, {"KP_Enter", "Enter"},
    };
    for (const auto &[xkb, qt] : names) {
        if (keysym == QLatin1String(xkb))
            return QString::fromLatin1(qt);
    }
    if (keysym.size() == 1)
        return keysym.toUpper();
    const xkb_keysym_t sym =
        xkb_keysym_from_name(keysym.toLatin1().constData(), XKB_KEYSYM_NO_FLAGS);
    char text[8] = {};
    if (xkb_keysym_to_utf8(sym, text, sizeof text) > 1 && !keysym.startsWith(u'F'))
        return QString::fromUtf8(text).toUpper();
    return keysym;
}

QString modifierName(ModifierKey key, TriggerSyntax syntax) {
    switch (syntax) {
    case TriggerSyntax::Gtk:
        switch (key) {
        case ModifierKey::Control:
            return QStringLiteral("<Control>");
        case ModifierKey::Option:
            return QStringLiteral("<Alt>");
        case ModifierKey::Shift:
            return QStringLiteral("<Shift>");
        case ModifierKey::Command:
            return QStringLiteral("<Super>");
        case ModifierKey::Fn:
            break;
        }
        break;
    case TriggerSyntax::Kde:
    case TriggerSyntax::Sway:
        switch (key) {
        case ModifierKey::Control:
            return QStringLiteral("Ctrl");
        case ModifierKey::Option:
            return QStringLiteral("Alt");
        case ModifierKey::Shift:
            return QStringLiteral("Shift");
        case ModifierKey::Command:
            return syntax == TriggerSyntax::Kde ? QStringLiteral("Meta") : QStringLiteral("Mod4");
        case ModifierKey::Fn:
            break;
        }
        break;
    case TriggerSyntax::Hyprland:
    case TriggerSyntax::Portal:
        switch (key) {
        case ModifierKey::Control:
            return QStringLiteral("CTRL");
        case ModifierKey::Option:
            return QStringLiteral("ALT");
        case ModifierKey::Shift:
            return QStringLiteral("SHIFT");
        case ModifierKey::Command:
            return syntax == TriggerSyntax::Portal ? QStringLiteral("LOGO")
                                                   : QStringLiteral("SUPER");
        case ModifierKey::Fn:
            break;
        }
        break;
    }
    return {};
}

} // namespace

std::optional<QString> keysymName(quint16 keyCode) {
    const auto xKeyCode = x11::X11KeyTranslator::xKeyCodeFor(keyCode);
    if (!xKeyCode)
        return std::nullopt;
    const xkb_keysym_t sym = layout().keysym(*xKeyCode);
    char name[64] = {};
    if (sym == XKB_KEY_NoSymbol || xkb_keysym_get_name(sym, name, sizeof name) <= 0)
        return std::nullopt;
    return QString::fromLatin1(name);
}

std::optional<QString> triggerText(const Shortcut &shortcut, TriggerSyntax syntax) {
    if (shortcut.kind != Shortcut::Kind::Combo || !shortcut.keyCode)
        return std::nullopt;
    const auto key = keysymName(*shortcut.keyCode);
    if (!key)
        return std::nullopt;
    QStringList modifiers;
    for (ModifierKey modifier : normalizedModifiers(shortcut.mods)) {
        if (modifier != ModifierKey::Fn)
            modifiers.append(modifierName(modifier, syntax));
    }
    switch (syntax) {
    case TriggerSyntax::Gtk:
        return modifiers.join(QString()) + *key;
    case TriggerSyntax::Kde:
        return (modifiers << kdeKeyName(*key)).join(u'+');
    case TriggerSyntax::Sway:
    case TriggerSyntax::Portal:
        return (modifiers << *key).join(u'+');
    case TriggerSyntax::Hyprland:
        return modifiers.join(u' ') + QStringLiteral(", ") + *key;
    }
    return std::nullopt;
}

} // namespace orvanta::wayland
