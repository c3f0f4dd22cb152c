#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace orvanta {

// Key codes and modifier masks are the ones stored bindings use on every platform; the key
// sources translate their own events into them.
enum class ModifierKey { Fn, Command, Option, Control, Shift };

inline constexpr std::array<ModifierKey, 5> allModifierKeys{
    ModifierKey::Fn, ModifierKey::Command, ModifierKey::Option, ModifierKey::Control,
    ModifierKey::Shift};
// The order in which modifiers are shown and stored in a combination: ⌃ ⌥ ⇧ ⌘ fn.
inline constexpr std::array<ModifierKey, 5> canonicalModifierOrder{
    ModifierKey::Control, ModifierKey::Option, ModifierKey::Shift, ModifierKey::Command,
    ModifierKey::Fn};

QString rawValue(ModifierKey key);
std::optional<ModifierKey> modifierKeyFromRawValue(const QString &raw);
QString symbol(ModifierKey key);
quint64 mask(ModifierKey key);
// Every modifier whose mask bit is set in `flags`, in declaration order.
QList<ModifierKey> modifiersPresent(quint64 flags);
// The given modifiers in canonical order without duplicates.
QList<ModifierKey> normalizedModifiers(const QList<ModifierKey> &mods);

namespace KeyCode {
inline constexpr quint16 returnKey = 36;
inline constexpr quint16 tab = 48;
inline constexpr quint16 space = 49;
inline constexpr quint16 deleteKey = 51;
inline constexpr quint16 escape = 53;
inline constexpr quint16 v = 9;
inline constexpr quint16 leftArrow = 123;
inline constexpr quint16 rightArrow = 124;
inline constexpr quint16 downArrow = 125;
inline constexpr quint16 upArrow = 126;
} // namespace KeyCode

// The label of a key in a combination, from its code and the characters it types.
QString keyLabel(quint16 keyCode, const QString &characters);

// A double press of one modifier, or one key with zero or more modifiers.
struct Shortcut {
    enum class Kind { DoubleTapModifier, Combo };

    Kind kind = Kind::Combo;
    std::optional<ModifierKey> modifier; // only for DoubleTapModifier
    std::optional<quint16> keyCode;      // only for Combo
    QList<ModifierKey> mods;             // only for Combo, canonical order
    QString display;

    static Shortcut doubleTap(ModifierKey modifier);
    static Shortcut combo(quint16 keyCode, const QList<ModifierKey> &mods, const QString &keyLabel);

    // {"kind":…,"modifier"|"keyCode":…,"mods":[…],"display":…}
    QByteArray toJson() const;
    static std::optional<Shortcut> fromJson(const QByteArray &json);

    // Same kind and key, same set of modifiers; the display text is not compared.
    bool clashesWith(const Shortcut &other) const;

    friend bool operator==(const Shortcut &, const Shortcut &) = default;
};

QString rawValue(Shortcut::Kind kind);

enum class KeybindAction { Activate, Cancel, PasteLast };

inline constexpr std::array<KeybindAction, 3> allKeybindActions{
    KeybindAction::Activate, KeybindAction::Cancel, KeybindAction::PasteLast};

QString rawValue(KeybindAction action);
QString title(KeybindAction action);
QString description(KeybindAction action);
// The symbol's meaning; the views map it onto their icon set.
QString iconName(KeybindAction action);

} // namespace orvanta
