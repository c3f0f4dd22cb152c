#pragma once

#include "Shortcut.h"

#include <QString>

#include <optional>

namespace orvanta::wayland {

// How the desktops and the shortcuts portal write a key combination.
enum class TriggerSyntax {
    Gtk,      // GNOME gsettings: <Control><Super>v
    Kde,      // KGlobalAccel: Ctrl+Meta+V
    Sway,     // bindsym: Ctrl+Mod4+v
    Hyprland, // bind = CTRL SUPER, v
    Portal    // the shortcuts portal's preferred trigger: CTRL+LOGO+v
};

// The keysym name of the key at a binding's key code on the keyboard layout of the session
// (XKB_DEFAULT_LAYOUT, else US): "v", "Escape", "space", "F5", "Left".
std::optional<QString> keysymName(quint16 keyCode);

// The combination in the given syntax; none for a double press or a key without a name. fn
// is left out: no desktop binds it.
std::optional<QString> triggerText(const Shortcut &shortcut, TriggerSyntax syntax);

} // namespace orvanta::wayland
