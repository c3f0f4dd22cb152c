#pragma once

#include "DictationStatus.h"
#include "Ports.h"
#include "Shortcut.h"

#include <QObject>
#include <QSet>
#include <QTimer>

#include <chrono>

namespace orvanta {

class History;
class HotkeyManager;
class Keybindings;
class Settings;
class Vocabulary;

// What the controller works with; every reference must outlive it.
struct AppStateServices {
    RecorderPort &recorder;
    TranscriptionPort &transcriber;
    AccountSessionPort &account;
    TextInsertionPort &textInserter;
    SystemAudioPort &systemAudio;
    PermissionsPort &permissions;
    SoundPort &sounds;
    FloatingBarPort &floatingBar;
    SchedulerPort &scheduler;
    Settings &settings;
    Vocabulary &vocabulary;
    History &history;
    // The global shortcuts and their bindings; absent where nothing listens for keys.
    HotkeyManager *hotkeys = nullptr;
    Keybindings *keybindings = nullptr;
};

// The dictation controller: the status machine and everything the views show about it.
// All of it runs on the main thread.
class AppState : public QObject {
    Q_OBJECT
    Q_PROPERTY(orvanta::DictationStatus status READ status NOTIFY statusChanged)
    // The status for views, and its message while it is an error.
    Q_PROPERTY(orvanta::DictationStatus::Kind statusKind READ statusKind NOTIFY statusChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY statusChanged)
    Q_PROPERTY(QString lastTranscript READ lastTranscript NOTIFY lastTranscriptChanged)
    Q_PROPERTY(float audioLevel READ audioLevel NOTIFY audioLevelChanged)
    Q_PROPERTY(
        bool accessibilityGranted READ accessibilityGranted NOTIFY accessibilityGrantedChanged)
    Q_PROPERTY(bool microphoneGranted READ microphoneGranted NOTIFY microphoneGrantedChanged)
    // False when the Activate shortcut can never fire here (a key this desktop does not report).
    Q_PROPERTY(bool activateBindingCanFire READ activateBindingCanFire NOTIFY
                   activateBindingCanFireChanged)
    // The key of the Activate shortcut as it works here, for the hints: "Ctrl" for a double
    // press of Control, the whole combination otherwise.
    Q_PROPERTY(QString activateKeyLabel READ activateKeyLabel NOTIFY activateShortcutChanged)
    Q_PROPERTY(bool activateIsDoublePress READ activateIsDoublePress NOTIFY activateShortcutChanged)

public:
    static constexpr std::chrono::milliseconds errorClearDelay{4000};
    static constexpr std::chrono::milliseconds permissionPollInterval{1500};

    static inline const QString signInRequiredMessage =
        QStringLiteral("Sign in required — click Sign In in the menu.");
    static inline const QString microphoneRequiredMessage =
        QStringLiteral("Microphone access is required.");
    static inline const QString startFailedMessage = QStringLiteral("Couldn't start recording.");
    static inline const QString captureFailedMessage = QStringLiteral("Couldn't capture audio.");
    static inline const QString pasteFailedMessage =
        QStringLiteral("Couldn't paste the text \u2014 use Paste Last to try again.");
    static inline const QString leftOnClipboardMessage =
        QStringLiteral("The text is on the clipboard \u2014 press Ctrl+V to paste it.");

    static inline const QString startedSound = QStringLiteral("Tink");
    static inline const QString stoppedSound = QStringLiteral("Pop");
    static inline const QString finishedSound = QStringLiteral("Glass");
    static inline const QString cancelledSound = QStringLiteral("Bottle");
    static inline const QString failureSound = QStringLiteral("Basso");

    explicit AppState(const AppStateServices &services, QObject *parent = nullptr);

    DictationStatus status() const { return m_status; }
    DictationStatus::Kind statusKind() const { return m_status.kind(); }
    QString errorMessage() const { return m_status.message(); }
    QString lastTranscript() const { return m_lastTranscript; }
    float audioLevel() const { return m_audioLevel; }
    bool accessibilityGranted() const { return m_accessibilityGranted; }
    bool microphoneGranted() const { return m_microphoneGranted; }
    bool activateBindingCanFire() const;
    // The Activate binding the shortcut monitor listens for (for the stored bindings as they
    // are now); nothing without a monitor.
    std::optional<Shortcut> listenedActivate() const;
    QString activateKeyLabel() const;
    bool activateIsDoublePress() const;
    // What the shortcut monitor asks to choose between start and stop.
    bool isRecordingActive() const { return m_status.is(DictationStatus::Kind::Recording); }

    Q_INVOKABLE void startDictation();
    Q_INVOKABLE void stopAndTranscribe();
    Q_INVOKABLE void cancelDictation();
    Q_INVOKABLE void pasteLast();
    // The one start-or-stop decision of the menu's button, the bar, the tray menu and
    // --toggle: stop while recording, nothing while transcribing, start otherwise.
    Q_INVOKABLE void toggleDictation();

    // Start-up: permissions, the shortcut monitor, the permission poll, the floating bar and
    // the subscriptions to the settings and bindings that affect them.
    void bootstrap();
    // Copies the three bindings into the shortcut monitor.
    void applyKeybindings();
    // The application quits (menu, --quit, a termination signal, the end of the session): a
    // recording that runs is dropped with its file, and the output it muted is unmuted.
    // Nothing is played or shown.
    void prepareToQuit();
    // One tick of the permission poll: re-read, and start the monitor once it may.
    void pollPermissions();
    bool isPermissionPollRunning() const { return m_permissionTimer.isActive(); }

    // Re-reads both permission flags; observers hear of it even when nothing changed.
    Q_INVOKABLE void refreshPermissions();
    // Shows the floating bar while a dictation runs, otherwise as the setting says.
    void refreshFloatingBar();

signals:
    void statusChanged();
    void lastTranscriptChanged();
    void audioLevelChanged();
    void accessibilityGrantedChanged();
    void microphoneGrantedChanged();
    void activateBindingCanFireChanged();
    void activateShortcutChanged();

private:
    using DictationId = quint64;

    void wireHotkeys();
    void continueStart(bool microphoneGranted);
    void recordingFailedToStart();
    void recordingStopped(DictationId dictation, const std::optional<QString> &file);
    void transcribed(DictationId dictation, const QString &file, const TranscriptionResult &result);
    QString deliverTranscript(const QString &text);
    void finish(const QString &text);
    // Pastes `text`; `onSuccess` runs once it was pasted, a failure shows as an error.
    void paste(const QString &text, std::function<void()> onSuccess = {});
    void setError(const QString &message);
    void setStatus(const DictationStatus &status);
    void setMicrophoneGranted(bool granted);
    void setAccessibilityGranted(bool granted);
    void setAudioLevel(float level);
    bool isLatest(DictationId dictation) const { return dictation == m_latestDictation; }
    // A recording or a transcription runs: its status is the one shown.
    bool isDictating() const {
        return m_status.is(DictationStatus::Kind::Recording) ||
               m_status.is(DictationStatus::Kind::Transcribing);
    }

    AppStateServices m_services;
    DictationStatus m_status;
    QString m_lastTranscript;
    float m_audioLevel = 0;
    bool m_accessibilityGranted = false;
    bool m_microphoneGranted = false;

    // Each recording that starts gets the next id. A stopped dictation waits in
    // m_awaitingResult until its transcript or failure arrives; cancelling it removes it, so
    // a late result is discarded.
    QTimer m_permissionTimer;
    DictationId m_latestDictation = 0;
    QSet<DictationId> m_awaitingResult;
};

} // namespace orvanta
