#pragma once

#include <QString>

namespace orvanta {

// How the session's global shortcuts reach the shortcut monitor.
enum class KeyMechanism {
    X11,             // the X server's key events and grabs
    Evdev,           // the keyboard devices, readable by members of the `input` group
    Portal,          // the desktop's shortcuts portal
    DesktopShortcuts // nothing of ours sees the keys: the desktop runs the command line
};

// X11 where the session is one; on Wayland the keyboard devices where one is readable (they
// see everything, the double press included), else the portal where the desktop offers it.
KeyMechanism chooseKeyMechanism(bool x11Session, bool keyboardReadable, bool portalOffered);

QString mechanismName(KeyMechanism mechanism);
// The Accessibility row's line in the settings: what is in use and what the user can do.
QString inputAccessText(KeyMechanism mechanism);
// The menu's hint where the view's own ("Press Ctrl twice") does not hold; empty where it does.
QString menuHint(KeyMechanism mechanism, bool activateIsDoublePress);
// Beside the bindings in the Keybindings section; empty when nothing needs saying.
QString keybindingsNote(KeyMechanism mechanism);

} // namespace orvanta
