#include "Shortcut.h"

#include "JsonText.h"

#include <QJsonArray>
#include <QJsonObject>

namespace orvanta {

QString rawValue(ModifierKey key) {
    switch (key) {
    case ModifierKey::Fn:
        return QStringLiteral("fn");
    case ModifierKey::Command:
        return QStringLiteral("command");
    case ModifierKey::Option:
        return QStringLiteral("option");
    case ModifierKey::Control:
        return QStringLiteral("control");
    case ModifierKey::Shift:
        return QStringLiteral("shift");
    }
    return {};
}

std::optional<ModifierKey> modifierKeyFromRawValue(const QString &raw) {
    for (ModifierKey key : allModifierKeys) {
        if (rawValue(key) == raw)
            return key;
    }
    return std::nullopt;
}

QString symbol(ModifierKey key) {
    switch (key) {
    case ModifierKey::Fn:
        return QStringLiteral("fn");
    case ModifierKey::Command:
        return QStringLiteral("⌘");
    case ModifierKey::Option:
        return QStringLiteral("⌥");
    case ModifierKey::Control:
        return QStringLiteral("⌃");
    case ModifierKey::Shift:
        return QStringLiteral("⇧");
    }
    return {};
}

quint64 mask(ModifierKey key) {
    switch (key) {
    case ModifierKey::Fn:
        return 0x800000;
    case ModifierKey::Command:
        return 0x100000;
    case ModifierKey::Option:
        return 0x80000;
    case ModifierKey::Control:
        return 0x40000;
    case ModifierKey::Shift:
        return 0x20000;
    }
    return 0;
}

QList<ModifierKey> modifiersPresent(quint64 flags) {
    QList<ModifierKey> present;
    for (ModifierKey key : allModifierKeys) {
        if (flags & mask(key))
            present.append(key);
    }
    return present;
}

QList<ModifierKey> normalizedModifiers(const QList<ModifierKey> &mods) {
    QList<ModifierKey> normalized;
    for (ModifierKey key : canonicalModifierOrder) {
        if (mods.contains(key))
            normalized.append(key);
    }
    return normalized;
}

QString keyLabel(quint16 keyCode, const QString &characters) {
    switch (keyCode) {
    case KeyCode::returnKey:
        return QStringLiteral("Return");
    case KeyCode::tab:
        return QStringLiteral("Tab");
    case KeyCode::space:
        return QStringLiteral("Space");
    case KeyCode::deleteKey:
        return QStringLiteral("Delete");
    case KeyCode::escape:
        return QStringLiteral("Esc");
    case KeyCode::leftArrow:
        return QStringLiteral("←");
    case KeyCode::rightArrow:
        return QStringLiteral("→");
    case KeyCode::downArrow:
        return QStringLiteral("↓");
    case KeyCode::upArrow:
        return QStringLiteral("↑");
    default:
        break;
    }
    if (!characters.isEmpty() && characters != u" ")
        return characters.toUpper();
    return QStringLiteral("Key") + QString::number(keyCode);
}

QString rawValue(Shortcut::Kind kind) {
    return kind == Shortcut::Kind::DoubleTapModifier ? QStringLiteral("doubleTapModifier")
                                                     : QStringLiteral("combo");
}

Shortcut Shortcut::doubleTap(ModifierKey modifier) {
    return {Kind::DoubleTapModifier,
            modifier,
            std::nullopt,
            {},
            symbol(modifier) + QStringLiteral(" ×2")};
}

Shortcut Shortcut::combo(quint16 keyCode, const QList<ModifierKey> &mods, const QString &keyLabel) {
    const QList<ModifierKey> normalized = normalizedModifiers(mods);
    QString display;
    for (ModifierKey key : normalized)
        display += symbol(key);
    return {Kind::Combo, std::nullopt, keyCode, normalized, display + keyLabel};
}

QByteArray Shortcut::toJson() const {
    QByteArray out("{\"kind\":");
    out.append(json::quote(rawValue(kind)));
    if (modifier)
        out.append(",\"modifier\":").append(json::quote(rawValue(*modifier)));
    if (keyCode)
        out.append(",\"keyCode\":").append(QByteArray::number(*keyCode));
    out.append(",\"mods\":[");
    for (qsizetype i = 0; i < mods.size(); ++i) {
        if (i > 0)
            out.append(',');
        out.append(json::quote(rawValue(mods[i])));
    }
    out.append("],\"display\":").append(json::quote(display)).append('}');
    return out;
}

namespace {

std::optional<Shortcut::Kind> kindFromRawValue(const QJsonValue &value) {
    if (value == QJsonValue(QStringLiteral("doubleTapModifier")))
        return Shortcut::Kind::DoubleTapModifier;
    if (value == QJsonValue(QStringLiteral("combo")))
        return Shortcut::Kind::Combo;
    return std::nullopt;
}

// An optional member: absent or null gives nothing; any other value must parse.
template <typename T, typename Parse>
bool readOptional(const QJsonObject &object, QStringView key, std::optional<T> *out, Parse parse) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    *out = parse(value);
    return out->has_value();
}

std::optional<quint16> keyCodeFromJson(const QJsonValue &value) {
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (number < 0 || number > 65535 || number != static_cast<double>(static_cast<int>(number)))
        return std::nullopt;
    return static_cast<quint16>(number);
}

std::optional<ModifierKey> modifierFromJson(const QJsonValue &value) {
    return value.isString() ? modifierKeyFromRawValue(value.toString()) : std::nullopt;
}

} // namespace

std::optional<Shortcut> Shortcut::fromJson(const QByteArray &json) {
    const auto document = json::parse(json);
    if (!document || !document->isObject())
        return std::nullopt;
    const QJsonObject object = document->object();
    Shortcut shortcut;
    const auto kind = kindFromRawValue(object.value(u"kind"));
    const QJsonValue mods = object.value(u"mods");
    const QJsonValue display = object.value(u"display");
    if (!kind || !mods.isArray() || !display.isString())
        return std::nullopt;
    shortcut.kind = *kind;
    shortcut.display = display.toString();
    if (!readOptional(object, u"modifier", &shortcut.modifier, modifierFromJson) ||
        !readOptional(object, u"keyCode", &shortcut.keyCode, keyCodeFromJson))
        return std::nullopt;
    for (const QJsonValue &mod : mods.toArray()) {
        const auto key = modifierFromJson(mod);
        if (!key)
            return std::nullopt;
        shortcut.mods.append(*key);
    }
    return shortcut;
}

bool Shortcut::clashesWith(const Shortcut &other) const {
    if (kind != other.kind)
        return false;
    if (kind == Kind::DoubleTapModifier)
        return modifier == other.modifier;
    return keyCode == other.keyCode && normalizedModifiers(mods) == normalizedModifiers(other.mods);
}

QString rawValue(KeybindAction action) {
    switch (action) {
    case KeybindAction::Activate:
        return QStringLiteral("activate");
    case KeybindAction::Cancel:
        return QStringLiteral("cancel");
    case KeybindAction::PasteLast:
        return QStringLiteral("pasteLast");
    }
    return {};
}

QString title(KeybindAction action) {
    switch (action) {
    case KeybindAction::Activate:
        return QStringLiteral("Activate");
    case KeybindAction::Cancel:
        return QStringLiteral("Cancel");
    case KeybindAction::PasteLast:
        return QStringLiteral("Paste Last Transcript");
    }
    return {};
}

QString description(KeybindAction action) {
    switch (action) {
    case KeybindAction::Activate:
        return QStringLiteral("Double-press to start. Single press while recording to stop.");
    case KeybindAction::Cancel:
        return QStringLiteral("Cancel dictation while recording.");
    case KeybindAction::PasteLast:
        return QStringLiteral("Paste the last transcript again at your cursor.");
    }
    return {};
}

QString iconName(KeybindAction action) {
    switch (action) {
    case KeybindAction::Activate:
        return QStringLiteral("mic");
    case KeybindAction::Cancel:
        return QStringLiteral("xmark.circle");
    case KeybindAction::PasteLast:
        return QStringLiteral("doc.on.clipboard");
    }
    return {};
}

} // namespace orvanta
