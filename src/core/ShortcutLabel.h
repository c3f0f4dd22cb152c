#pragma once

#include "Shortcut.h"

#include <QString>

namespace orvanta {

// How a Linux desktop names a modifier: Ctrl, Alt, Shift, Super, Fn.
QString desktopName(ModifierKey key);

// A binding as a Linux desktop writes it: "Ctrl+Alt+K", "Super+V", "Ctrl ×2". Derived from
// the binding; its stored `display` text is only read for the key's own label.
QString desktopLabel(const Shortcut &shortcut);

// The key a hint asks the user to press: "Ctrl" for a double press of Control (the hint says
// "twice"), the whole combination otherwise.
QString hintLabel(const Shortcut &shortcut);

} // namespace orvanta
