#include "HotkeyManager.h"

#include "Keybindings.h"

#include <QMetaObject>

namespace orvanta {

namespace {

// Fn never takes part in comparing combinations: keys such as the arrows set it on their own.
constexpr quint64 comparedModifiers = 0x100000 | 0x80000 | 0x40000 | 0x20000;
constexpr quint64 allModifiers = comparedModifiers | 0x800000;

quint64 maskOf(const QList<ModifierKey> &mods) {
    quint64 result = 0;
    for (ModifierKey key : mods)
        result |= mask(key);
    return result;
}

} // namespace

bool shortcutCanFire(const Shortcut &shortcut, quint64 visibleModifiers) {
    if (shortcut.kind == Shortcut::Kind::Combo)
        return shortcut.keyCode.has_value();
    return shortcut.modifier.has_value() && (visibleModifiers & mask(*shortcut.modifier)) != 0;
}

Shortcut effectiveActivate(const Shortcut &bound, bool chosenByUser, quint64 visibleModifiers) {
    if (chosenByUser || shortcutCanFire(bound, visibleModifiers))
        return bound;
    return Keybindings::fallbackActivate();
}

HotkeyManager::Binding HotkeyManager::Binding::from(const Shortcut &shortcut) {
    Binding binding;
    binding.shortcut = shortcut;
    binding.isCombo = shortcut.kind == Shortcut::Kind::Combo && shortcut.keyCode.has_value();
    binding.keyCode = shortcut.keyCode.value_or(0);
    binding.modifierMask = maskOf(shortcut.mods) & comparedModifiers;
    if (shortcut.kind == Shortcut::Kind::DoubleTapModifier && shortcut.modifier)
        binding.tapMask = mask(*shortcut.modifier);
    return binding;
}

HotkeyManager::HotkeyManager(KeySource &source, QObject *parent)
    : HotkeyManager(
          source, [] { return std::chrono::steady_clock::now(); }, parent) {}

HotkeyManager::HotkeyManager(KeySource &source, Clock clock, QObject *parent)
    : QObject(parent)
    , m_source(source)
    , m_clock(std::move(clock))
    , m_activate(Binding::from(Keybindings::defaultActivate()))
    , m_cancel(Binding::from(Keybindings::defaultCancel()))
    , m_pasteLast(Binding::from(Keybindings::defaultPaste())) {
    m_source.setHandler([this](const KeyEvent &event) { return handle(event); });
    m_activateCouldFire = activateCanFire();
    updateConsumedShortcuts();
}

HotkeyManager::~HotkeyManager() {
    m_source.setHandler(nullptr);
}

bool HotkeyManager::start() {
    const bool started = m_source.start();
    if (started)
        bindingsChanged(true);
    return started;
}

bool HotkeyManager::isStarted() const {
    return m_source.isStarted();
}

void HotkeyManager::setActivate(const Shortcut &shortcut) {
    m_activate = Binding::from(shortcut);
    bindingsChanged(true);
}

void HotkeyManager::setCancel(const Shortcut &shortcut) {
    m_cancel = Binding::from(shortcut);
    bindingsChanged(false);
}

void HotkeyManager::setPasteLast(const Shortcut &shortcut) {
    m_pasteLast = Binding::from(shortcut);
    bindingsChanged(false);
}

void HotkeyManager::recordingStateChanged() {
    updateConsumedShortcuts();
}

QList<Shortcut> HotkeyManager::consumedShortcuts() const {
    QList<Shortcut> consumed;
    if (m_pasteLast.isCombo)
        consumed.append(m_pasteLast.shortcut);
    if (m_cancel.isCombo && recording())
        consumed.append(m_cancel.shortcut);
    if (m_activate.isCombo)
        consumed.append(m_activate.shortcut);
    return consumed;
}

bool HotkeyManager::canFire(const Shortcut &shortcut) const {
    return shortcutCanFire(shortcut, m_source.visibleModifiers());
}

bool HotkeyManager::handle(const KeyEvent &event) {
    // Queued events must not shrink or stretch the interval between two presses.
    const auto seen =
        event.time == std::chrono::steady_clock::time_point{} ? m_clock() : event.time;
    switch (event.type) {
    case KeyEvent::Type::KeyDown:
        interruptTap();
        return handleKeyDown(event);
    case KeyEvent::Type::OtherKeyDown:
        interruptTap();
        return false;
    case KeyEvent::Type::FlagsChanged:
        handleFlagsChanged(event, seen);
        return false;
    }
    return false;
}

bool HotkeyManager::handleKeyDown(const KeyEvent &event) {
    const quint64 held = event.flags & comparedModifiers;
    if (m_pasteLast.matches(event.keyCode, held)) {
        post(&HotkeyManager::onPasteLast);
        return true;
    }
    if (m_cancel.matches(event.keyCode, held) && recording()) {
        post(&HotkeyManager::onCancel);
        return true;
    }
    if (m_activate.matches(event.keyCode, held)) {
        post(recording() ? &HotkeyManager::onStop : &HotkeyManager::onStart);
        return true;
    }
    return false;
}

void HotkeyManager::handleFlagsChanged(const KeyEvent &event,
                                       std::chrono::steady_clock::time_point seen) {
    if (m_activate.tapMask == 0)
        return;
    const bool down = (event.flags & m_activate.tapMask) != 0;
    if (m_modDown) {
        if (down) {
            interruptTap(); // another modifier changed while this one is held
            return;
        }
        m_modDown = false;
        if (!m_tapClean) {
            m_lastModDownTime.reset();
            return;
        }
        if (m_lastModDownTime && m_modDownTime - *m_lastModDownTime <= doubleTapWindow) {
            m_lastModDownTime.reset();
            post(&HotkeyManager::onStart);
            return;
        }
        m_lastModDownTime = m_modDownTime;
        return;
    }
    if (!down) {
        interruptTap(); // another modifier went down or up on its own
        return;
    }
    m_modDown = true;
    if (recording()) {
        // A single press stops at once; it begins no pair.
        m_tapClean = false;
        m_lastModDownTime.reset();
        post(&HotkeyManager::onStop);
        return;
    }
    m_tapClean = (event.flags & allModifiers & ~m_activate.tapMask) == 0;
    m_modDownTime = seen;
}

// Something else was typed: the modifier held now is no clean tap, and an earlier tap no
// longer begins a pair.
void HotkeyManager::interruptTap() {
    m_tapClean = false;
    m_lastModDownTime.reset();
}

bool HotkeyManager::recording() const {
    return isRecordingActive && isRecordingActive();
}

void HotkeyManager::post(Callback HotkeyManager::*callback) {
    // Queued on this object: nothing runs once the manager is gone.
    QMetaObject::invokeMethod(
        this,
        [this, callback] {
            const Callback current = this->*callback;
            if (current)
                current();
        },
        Qt::QueuedConnection);
}

void HotkeyManager::bindingsChanged(bool activateChanged) {
    updateConsumedShortcuts();
    if (!activateChanged)
        return;
    const bool canFireNow = activateCanFire();
    if (canFireNow == m_activateCouldFire)
        return;
    m_activateCouldFire = canFireNow;
    emit activateCanFireChanged(canFireNow);
}

void HotkeyManager::updateConsumedShortcuts() {
    QList<Shortcut> consumed = consumedShortcuts();
    if (m_consumedPushed && consumed == m_consumed)
        return;
    m_consumed = std::move(consumed);
    m_consumedPushed = true;
    m_source.setConsumedShortcuts(m_consumed);
}

} // namespace orvanta
