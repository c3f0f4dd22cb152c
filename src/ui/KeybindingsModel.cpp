#include "KeybindingsModel.h"

#include "Keybindings.h"
#include "ShortcutLabel.h"

#include <QKeyEvent>
#include <QWindow>

namespace orvanta {

namespace {

std::optional<KeybindAction> actionNamed(const QString &name) {
    for (KeybindAction action : allKeybindActions) {
        if (rawValue(action) == name)
            return action;
    }
    return std::nullopt;
}

} // namespace

KeybindingsModel::KeybindingsModel(Keybindings &keybindings, QObject *parent)
    : QObject(parent)
    , m_keybindings(keybindings) {
    connect(&keybindings, &Keybindings::changed, this, &KeybindingsModel::rowsChanged);
}

KeybindingsModel::~KeybindingsModel() {
    if (m_window)
        m_window->removeEventFilter(this);
}

void KeybindingsModel::setScanCodeTranslator(ScanCodeTranslator translator) {
    m_translateScanCode = std::move(translator);
}

void KeybindingsModel::setListenedActivate(ListenedActivate listened) {
    m_listenedActivate = std::move(listened);
    emit rowsChanged();
}

QVariantList KeybindingsModel::rows() const {
    QVariantList list;
    for (KeybindAction action : allKeybindActions) {
        Shortcut working = m_keybindings.binding(action);
        if (action == KeybindAction::Activate && m_listenedActivate)
            working = m_listenedActivate().value_or(working);
        list.append(QVariantMap{
            {QStringLiteral("action"), rawValue(action)},
            {QStringLiteral("title"), title(action)},
            {QStringLiteral("description"), description(action)},
            {QStringLiteral("icon"), iconName(action)},
            {QStringLiteral("display"), m_keybindings.binding(action).display},
            {QStringLiteral("label"), desktopLabel(working)},
        });
    }
    return list;
}

QString KeybindingsModel::actionTitle() const {
    return m_recorder ? title(m_recorder->action()) : QString();
}

QString KeybindingsModel::capturedDisplay() const {
    if (!m_recorder || !m_recorder->captured())
        return {};
    return desktopLabel(*m_recorder->captured());
}

void KeybindingsModel::resetToDefaults() {
    m_keybindings.resetToDefaults();
}

void KeybindingsModel::beginRecording(const QString &action, QObject *window) {
    const std::optional<KeybindAction> parsed = actionNamed(action);
    if (!parsed)
        return;
    endRecording();
    m_recorder = std::make_unique<ShortcutRecorder>(m_keybindings, *parsed);
    m_window = qobject_cast<QWindow *>(window);
    if (m_window)
        m_window->installEventFilter(this);
    emit recorderChanged();
}

void KeybindingsModel::cancelRecording() {
    endRecording();
}

void KeybindingsModel::save() {
    if (!canSave())
        return;
    m_recorder->save(m_keybindings);
    endRecording();
}

void KeybindingsModel::endRecording() {
    if (m_window)
        m_window->removeEventFilter(this);
    m_window.clear();
    if (!m_recorder)
        return;
    m_recorder.reset();
    emit recorderChanged();
    emit recordingFinished();
}

void KeybindingsModel::handle(const RecorderKey &key) {
    if (!m_recorder)
        return;
    // Esc is a key like any other here, so a single press records it; pressing it again
    // once it is recorded leaves the sheet, which the keyboard could not do otherwise.
    const Shortcut plainEscape =
        Shortcut::combo(KeyCode::escape, {}, keyLabel(KeyCode::escape, {}));
    const bool escapeRecorded =
        m_recorder->captured() && m_recorder->captured()->clashesWith(plainEscape);
    if (escapeRecorded && key.event.type == KeyEvent::Type::KeyDown &&
        key.event.keyCode == KeyCode::escape && modifiersPresent(key.event.flags).isEmpty()) {
        endRecording();
        return;
    }
    if (m_recorder->handle(key.event, key.characters))
        emit recorderChanged();
}

bool KeybindingsModel::eventFilter(QObject *watched, QEvent *event) {
    if (watched != m_window || !m_recorder)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        event->accept();
        return true;
    case QEvent::KeyPress: {
        const auto *keyEvent = static_cast<QKeyEvent *>(event);
        std::optional<quint16> position;
        if (m_translateScanCode && keyEvent->nativeScanCode() != 0)
            position = m_translateScanCode(keyEvent->nativeScanCode());
        if (const auto key =
                RecorderKeyTranslator::press(keyEvent->key(), keyEvent->modifiers(), position))
            handle(*key);
        return true;
    }
    case QEvent::KeyRelease: {
        const auto *keyEvent = static_cast<QKeyEvent *>(event);
        if (const auto key = RecorderKeyTranslator::release(keyEvent->key(), keyEvent->modifiers()))
            handle(*key);
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace orvanta
