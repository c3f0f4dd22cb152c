#include "AppState.h"

#include "History.h"
#include "HotkeyManager.h"
#include "Keybindings.h"
#include "Logging.h"
#include "MenuRules.h"
#include "Settings.h"
#include "ShortcutLabel.h"
#include "Vocabulary.h"

#include <QDateTime>
#include <QPointer>

namespace orvanta {

AppState::AppState(const AppStateServices &services, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_accessibilityGranted(services.permissions.isInputAccessGranted())
    , m_microphoneGranted(services.permissions.isMicrophoneAuthorized()) {
    m_services.recorder.setLevelHandler([self = QPointer(this)](float level) {
        if (self)
            self->setAudioLevel(level);
    });
    m_services.recorder.setStartFailureHandler([self = QPointer(this)] {
        if (self)
            self->recordingFailedToStart();
    });
    wireHotkeys();
    m_permissionTimer.setInterval(permissionPollInterval);
    connect(&m_permissionTimer, &QTimer::timeout, this, &AppState::pollPermissions);
}

// The monitor's callbacks hold the controller weakly and do nothing once it is gone.
void AppState::wireHotkeys() {
    HotkeyManager *hotkeys = m_services.hotkeys;
    if (!hotkeys)
        return;
    const QPointer self(this);
    hotkeys->onStart = [self] {
        if (self)
            self->startDictation();
    };
    hotkeys->onStop = [self] {
        if (self)
            self->stopAndTranscribe();
    };
    hotkeys->onCancel = [self] {
        if (self)
            self->cancelDictation();
    };
    hotkeys->onPasteLast = [self] {
        if (self)
            self->pasteLast();
    };
    applyKeybindings();
    hotkeys->isRecordingActive = [self] { return self && self->isRecordingActive(); };
    connect(hotkeys, &HotkeyManager::activateCanFireChanged, this,
            &AppState::activateBindingCanFireChanged);
    connect(hotkeys, &HotkeyManager::activateCanFireChanged, this,
            &AppState::activateShortcutChanged);
    connect(this, &AppState::statusChanged, hotkeys, &HotkeyManager::recordingStateChanged);
}

void AppState::applyKeybindings() {
    if (!m_services.hotkeys || !m_services.keybindings)
        return;
    HotkeyManager &hotkeys = *m_services.hotkeys;
    const Keybindings &bindings = *m_services.keybindings;
    hotkeys.setActivate(effectiveActivate(bindings.activate(),
                                          bindings.isChosen(KeybindAction::Activate),
                                          hotkeys.visibleModifiers()));
    m_services.hotkeys->setCancel(m_services.keybindings->cancel());
    m_services.hotkeys->setPasteLast(m_services.keybindings->pasteLast());
    emit activateShortcutChanged();
}

std::optional<Shortcut> AppState::listenedActivate() const {
    if (!m_services.hotkeys || !m_services.keybindings)
        return std::nullopt;
    // From the store itself: the monitor hears of a change a moment later.
    const Keybindings &bindings = *m_services.keybindings;
    return effectiveActivate(bindings.activate(), bindings.isChosen(KeybindAction::Activate),
                             m_services.hotkeys->visibleModifiers());
}

QString AppState::activateKeyLabel() const {
    return hintLabel(listenedActivate().value_or(Keybindings::defaultActivate()));
}

bool AppState::activateIsDoublePress() const {
    return listenedActivate().value_or(Keybindings::defaultActivate()).kind ==
           Shortcut::Kind::DoubleTapModifier;
}

bool AppState::activateBindingCanFire() const {
    return !m_services.hotkeys || m_services.hotkeys->activateCanFire();
}

void AppState::bootstrap() {
    refreshPermissions();
    if (m_accessibilityGranted && m_services.hotkeys)
        m_services.hotkeys->start();
    m_permissionTimer.start();
    refreshFloatingBar();
    // Queued, so the handlers read the values after the change.
    connect(&m_services.settings, &Settings::showFloatingBarChanged, this,
            &AppState::refreshFloatingBar, Qt::QueuedConnection);
    if (m_services.keybindings)
        connect(m_services.keybindings, &Keybindings::changed, this, &AppState::applyKeybindings,
                Qt::QueuedConnection);
}

void AppState::pollPermissions() {
    refreshPermissions();
    if (m_accessibilityGranted && m_services.hotkeys && !m_services.hotkeys->isStarted())
        m_services.hotkeys->start();
}

void AppState::startDictation() {
    if (m_status.is(DictationStatus::Kind::Recording))
        return;
    if (!m_services.account.isSignedIn()) {
        setError(signInRequiredMessage);
        m_services.sounds.play(failureSound);
        return;
    }
    m_services.permissions.requestMicrophone([self = QPointer(this)](bool granted) {
        if (self)
            self->continueStart(granted);
    });
}

// The rest of a start, once the microphone answer is known. The status is not checked again:
// the answer may come long after the request.
void AppState::continueStart(bool microphoneGranted) {
    setMicrophoneGranted(microphoneGranted);
    if (!microphoneGranted) {
        setError(microphoneRequiredMessage);
        m_services.permissions.openPrivacyPane(PrivacyPane::Microphone);
        return;
    }
    if (!m_services.recorder.start(m_services.settings.micUID())) {
        setError(startFailedMessage);
        return;
    }
    ++m_latestDictation;
    setStatus(DictationStatus::recording());
    if (m_services.settings.muteBackgroundAudio())
        m_services.systemAudio.muteIfNeeded();
    refreshFloatingBar();
    m_services.sounds.play(startedSound);
}

// The recorder took the start but could not open the microphone after all. It reports only
// its running recording, which is the latest dictation's while the status is Recording.
void AppState::recordingFailedToStart() {
    if (!m_status.is(DictationStatus::Kind::Recording))
        return;
    m_services.systemAudio.unmuteIfNeeded();
    // The start was already heard, so the failure is too.
    setError(startFailedMessage);
    m_services.sounds.play(failureSound);
}

void AppState::toggleDictation() {
    switch (MenuRules::primaryAction(m_status)) {
    case MenuRules::PrimaryAction::Start:
        startDictation();
        break;
    case MenuRules::PrimaryAction::Stop:
        stopAndTranscribe();
        break;
    case MenuRules::PrimaryAction::Nothing:
        break;
    }
}

void AppState::stopAndTranscribe() {
    if (!m_status.is(DictationStatus::Kind::Recording))
        return;
    m_services.systemAudio.unmuteIfNeeded();
    setStatus(DictationStatus::transcribing());
    refreshFloatingBar();
    m_services.sounds.play(stoppedSound);

    const DictationId dictation = m_latestDictation;
    m_awaitingResult.insert(dictation);
    m_services.recorder.stop([self = QPointer(this), dictation](std::optional<QString> file) {
        if (self)
            self->recordingStopped(dictation, file);
    });
}

void AppState::recordingStopped(DictationId dictation, const std::optional<QString> &file) {
    if (!m_awaitingResult.contains(dictation)) {
        qCInfo(lcAppState) << "Dropping the recording of a cancelled dictation";
        if (file)
            m_services.recorder.cleanup(*file);
        return;
    }
    if (!file) {
        m_awaitingResult.remove(dictation);
        if (!isLatest(dictation) && isDictating()) {
            qCWarning(lcAppState) << "An earlier dictation captured no audio";
            return;
        }
        setError(captureFailedMessage);
        m_services.sounds.play(failureSound);
        return;
    }
    m_services.transcriber.transcribe(
        *file, [self = QPointer(this), dictation, file = *file](const TranscriptionResult &result) {
            if (self)
                self->transcribed(dictation, file, result);
        });
}

void AppState::transcribed(DictationId dictation, const QString &file,
                           const TranscriptionResult &result) {
    m_services.recorder.cleanup(file);
    if (!m_awaitingResult.remove(dictation)) {
        qCInfo(lcAppState) << "Discarding the transcript of a cancelled dictation";
        return;
    }
    if (!result.succeeded()) {
        if (!isLatest(dictation) && isDictating()) {
            qCWarning(lcAppState) << "An earlier dictation failed:" << result.errorMessage;
            return;
        }
        setError(result.errorMessage);
        m_services.sounds.play(failureSound);
        return;
    }
    if (isLatest(dictation)) {
        finish(*result.text);
        return;
    }
    // A newer recording runs: deliver the text without touching its status.
    paste(deliverTranscript(*result.text));
    m_services.account.refreshUsage();
}

// Rewrites the text by the user's rules and records it; returns the final text.
QString AppState::deliverTranscript(const QString &text) {
    const QString finalText = m_services.vocabulary.applyReplacements(text);
    m_lastTranscript = finalText;
    emit lastTranscriptChanged();
    m_services.settings.addWords(finalText);
    if (!m_services.settings.privacyMode())
        m_services.history.add(finalText, m_services.settings.dictationMode(),
                               QDateTime::currentDateTimeUtc());
    return finalText;
}

void AppState::finish(const QString &text) {
    const QString finalText = deliverTranscript(text);
    setStatus(DictationStatus::idle());
    refreshFloatingBar();
    paste(finalText, [this] { m_services.sounds.play(finishedSound); });
    m_services.account.refreshUsage();
}

void AppState::paste(const QString &text, std::function<void()> onSuccess) {
    const InsertionOptions options{true, m_services.settings.privacyMode()};
    m_services.textInserter.insert(
        text, options,
        [self = QPointer(this), onSuccess = std::move(onSuccess)](const InsertionOutcome &outcome) {
            if (!self)
                return;
            if (outcome.succeeded()) {
                if (onSuccess)
                    onSuccess();
                return;
            }
            qCWarning(lcAppState).noquote() << "The paste failed:" << outcome.detail;
            // The text stays in Paste Last (and the history): nothing is lost.
            if (self->isDictating())
                return; // a newer dictation's status is not overwritten
            const bool leftForTheUser =
                outcome.failure == InsertionOutcome::Failure::LeftOnClipboard;
            self->setError(leftForTheUser ? leftOnClipboardMessage : pasteFailedMessage);
            self->m_services.sounds.play(failureSound);
        });
}

void AppState::cancelDictation() {
    if (!m_status.is(DictationStatus::Kind::Recording) &&
        !m_status.is(DictationStatus::Kind::Transcribing))
        return;
    if (m_status.is(DictationStatus::Kind::Transcribing))
        m_awaitingResult.remove(m_latestDictation);
    m_services.recorder.cancel();
    m_services.systemAudio.unmuteIfNeeded();
    setStatus(DictationStatus::idle());
    refreshFloatingBar();
    m_services.sounds.play(cancelledSound);
}

void AppState::prepareToQuit() {
    if (m_status.is(DictationStatus::Kind::Recording))
        m_services.recorder.cancel();
    m_awaitingResult.clear();
    m_services.systemAudio.unmuteIfNeeded();
    if (isDictating())
        setStatus(DictationStatus::idle());
}

void AppState::pasteLast() {
    if (!m_lastTranscript.isEmpty())
        paste(m_lastTranscript);
}

void AppState::setError(const QString &message) {
    setStatus(DictationStatus::error(message));
    refreshFloatingBar();
    // Clears whatever error is shown by then, so a newer error may go early.
    m_services.scheduler.schedule(errorClearDelay, this, [self = QPointer(this)] {
        if (self && self->m_status.is(DictationStatus::Kind::Error))
            self->setStatus(DictationStatus::idle());
    });
}

void AppState::refreshPermissions() {
    setAccessibilityGranted(m_services.permissions.isInputAccessGranted());
    setMicrophoneGranted(m_services.permissions.isMicrophoneAuthorized());
}

void AppState::refreshFloatingBar() {
    const bool dictating = m_status.is(DictationStatus::Kind::Recording) ||
                           m_status.is(DictationStatus::Kind::Transcribing);
    if (dictating || m_services.settings.showFloatingBar())
        m_services.floatingBar.show();
    else
        m_services.floatingBar.hide();
}

void AppState::setStatus(const DictationStatus &status) {
    m_status = status;
    emit statusChanged();
}

void AppState::setMicrophoneGranted(bool granted) {
    m_microphoneGranted = granted;
    emit microphoneGrantedChanged();
}

void AppState::setAccessibilityGranted(bool granted) {
    m_accessibilityGranted = granted;
    emit accessibilityGrantedChanged();
}

void AppState::setAudioLevel(float level) {
    m_audioLevel = level;
    emit audioLevelChanged();
}

} // namespace orvanta
