#include "KeyMechanism.h"

namespace orvanta {

namespace {

const QString joinInputGroup = QStringLiteral(
    "For the double press, join the input group (sudo usermod -aG input $USER) and log in again.");

} // namespace

KeyMechanism chooseKeyMechanism(bool x11Session, bool keyboardReadable, bool portalOffered) {
    if (x11Session)
        return KeyMechanism::X11;
    if (keyboardReadable)
        return KeyMechanism::Evdev;
    if (portalOffered)
        return KeyMechanism::Portal;
    return KeyMechanism::DesktopShortcuts;
}

QString mechanismName(KeyMechanism mechanism) {
    switch (mechanism) {
    case KeyMechanism::X11:
        return QStringLiteral("x11");
    case KeyMechanism::Evdev:
        return QStringLiteral("evdev");
    case KeyMechanism::Portal:
        return QStringLiteral("portal");
    case KeyMechanism::DesktopShortcuts:
        return QStringLiteral("desktop-shortcuts");
    }
    return {};
}

QString inputAccessText(KeyMechanism mechanism) {
    switch (mechanism) {
    case KeyMechanism::X11:
        return QStringLiteral(
            "Required for the double-Fn shortcut and pasting text at your cursor.");
    case KeyMechanism::Evdev:
        return QStringLiteral("Shortcuts are read from your keyboards (input group), double press "
                              "included.");
    case KeyMechanism::Portal:
        return QStringLiteral("Shortcuts come from the desktop's shortcut portal. ") +
               joinInputGroup;
    case KeyMechanism::DesktopShortcuts:
        return QStringLiteral("This Wayland session shows Talvo no keys: run "
                              "\"orvanta --shortcuts --install\" to bind them as desktop "
                              "shortcuts. ") +
               joinInputGroup;
    }
    return {};
}

QString menuHint(KeyMechanism mechanism, bool activateIsDoublePress) {
    switch (mechanism) {
    case KeyMechanism::X11:
    case KeyMechanism::Evdev:
        return {};
    case KeyMechanism::Portal:
        return activateIsDoublePress
                   ? QStringLiteral("A double press is not seen here: choose an Activate "
                                    "combination, or join the input group and log in again.")
                   : QString();
    case KeyMechanism::DesktopShortcuts:
        return QStringLiteral("Bind Talvo's shortcuts with \"orvanta --shortcuts --install\", or "
                              "join the input group and log in again.");
    }
    return {};
}

QString keybindingsNote(KeyMechanism mechanism) {
    switch (mechanism) {
    case KeyMechanism::X11:
        return {};
    case KeyMechanism::Evdev:
        return QStringLiteral("Read from the keyboard devices: these shortcuts also reach the "
                              "application you type in.");
    case KeyMechanism::Portal:
        return QStringLiteral("Combinations are registered with the desktop, which may ask you to "
                              "confirm or change their keys; a double press is not seen.");
    case KeyMechanism::DesktopShortcuts:
        return QStringLiteral("Not seen in this session: \"orvanta --shortcuts\" shows how to bind "
                              "them as desktop shortcuts.");
    }
    return {};
}

} // namespace orvanta
