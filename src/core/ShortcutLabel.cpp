#include "ShortcutLabel.h"

namespace orvanta {

QString desktopName(ModifierKey key) {
    switch (key) {
    case ModifierKey::Fn:
        return QStringLiteral("Fn");
    case ModifierKey::Command:
        return QStringLiteral("Super");
    case ModifierKey::Option:
        return QStringLiteral("Alt");
    case ModifierKey::Control:
        return QStringLiteral("Ctrl");
    case ModifierKey::Shift:
        return QStringLiteral("Shift");
    }
    return {};
}

namespace {

// The stored display is the modifiers' symbols followed by the key's label; a display that
// does not have that form falls back to the label of the key code.
QString keyPart(const Shortcut &shortcut) {
    QString symbols;
    for (ModifierKey key : shortcut.mods)
        symbols += symbol(key);
    if (shortcut.display.startsWith(symbols) && shortcut.display.size() > symbols.size())
        return shortcut.display.mid(symbols.size());
    return keyLabel(shortcut.keyCode.value_or(0), {});
}

} // namespace

QString desktopLabel(const Shortcut &shortcut) {
    if (shortcut.kind == Shortcut::Kind::DoubleTapModifier)
        return shortcut.modifier ? desktopName(*shortcut.modifier) + QStringLiteral(" ×2")
                                 : shortcut.display;
    QStringList parts;
    for (ModifierKey key : normalizedModifiers(shortcut.mods))
        parts.append(desktopName(key));
    parts.append(keyPart(shortcut));
    return parts.join(u'+');
}

QString hintLabel(const Shortcut &shortcut) {
    if (shortcut.kind == Shortcut::Kind::DoubleTapModifier && shortcut.modifier)
        return desktopName(*shortcut.modifier);
    return desktopLabel(shortcut);
}

} // namespace orvanta
