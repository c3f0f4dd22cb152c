#pragma once

#include "AppState.h"
#include "AudioRecorder.h"
#include "Auth.h"
#include "AuthHost.h"
#include "CommandLine.h"
#include "Config.h"
#include "History.h"
#include "HotkeyManager.h"
#include "KeySourceChoice.h"
#include "Keybindings.h"
#include "LoginItem.h"
#include "MenuActions.h"
#include "MicTester.h"
#include "Permissions.h"
#include "PreferenceStore.h"
#include "RecordingIndicatorController.h"
#include "Settings.h"
#include "SettingsWindowController.h"
#include "Sounds.h"
#include "SystemAudio.h"
#include "Transcriber.h"
#include "TranscriptionClient.h"
#include "TrayController.h"
#include "Updater.h"
#include "ViewEngine.h"
#include "Vocabulary.h"
#include "WaylandTextInserter.h"
#include "X11KeySource.h"
#include "XTestPaste.h"

#include <QNetworkAccessManager>
#include <QObject>

#include <memory>

namespace orvanta {

// The running application: every shared instance, built in start-up order and wired
// together, and the requests of the command line.
class OrvantaApp final : public QObject, public AuthHost {
    Q_OBJECT

public:
    // The service address: ORVANTA_SERVICE_URL / ORVANTA_ACCOUNT_URL from the environment
    // when set (for a self-hosted or test service), else the one given at build time.
    static Config serviceConfig();

    // What the desktop knows the running application by. No display name is set: the xcb
    // platform would append it to every window title.
    static void describeDesktopApplication();

    OrvantaApp();
    ~OrvantaApp() override;

    // Shows the tray icon, runs the controller's start-up and starts the update checks.
    void launch();
    // Carries out one request; `fromAnotherProcess` turns a plain start into "open settings".
    // Returns the line the requesting process prints or reports.
    QString handle(const Request &request, bool fromAnotherProcess);

    AppState &appState() { return *m_appState; }

    void openInBrowser(const QUrl &url) override;
    void bringToFront() override;

private:
    TextInsertionPort &textInsertion();
    void openSettings();
    void createSettingsWindow();
    void showUpdateAnswer(Updater::Outcome outcome, const AppcastRelease &release);

    std::unique_ptr<PreferenceStore> m_store;
    LoginItem m_loginItem;
    Settings m_settings;
    Vocabulary m_vocabulary;
    History m_history;
    Keybindings m_keybindings;
    QNetworkAccessManager m_network;
    Auth m_auth;
    Transcriber m_transcriber;
    TranscriptionClient m_transcription;
    AudioRecorder m_recorder;
    SystemAudio m_systemAudio;
    Sounds m_sounds;
    KeySourceChoice m_keySources;
    Permissions m_permissions;
    std::unique_ptr<ClipboardPaste> m_textInserter = x11::XTestPaste::inserter();
    // Pastes on a Wayland session whose compositor lets it; the X11 one pastes otherwise.
    wayland::TextInsertionChoice m_insertionChoice;
    std::unique_ptr<ClipboardPaste> m_waylandInserter;
    HotkeyManager m_hotkeys;
    QtScheduler m_scheduler;
    ViewEngine m_views;
    MenuActions m_actions;
    std::unique_ptr<RecordingIndicatorController> m_indicator;
    std::unique_ptr<AppState> m_appState;
    std::unique_ptr<TrayController> m_tray;
    MicTester m_micTester;
    std::unique_ptr<SettingsWindowController> m_settingsWindow;
    Updater m_updater;
};

} // namespace orvanta
