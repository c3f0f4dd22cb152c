#include "OrvantaApp.h"

#include "SchemeHandler.h"
#include "X11KeyTranslator.h"
#include "X11Session.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QWindow>

Q_LOGGING_CATEGORY(lcApp, "orvanta.app", QtInfoMsg)

namespace orvanta {

namespace {

QString updateFeed() {
    return QStringLiteral(ORVANTA_UPDATE_FEED_URL);
}

} // namespace

Config OrvantaApp::serviceConfig() {
    const Config built = Config::fromBuild();
    const QString service = qEnvironmentVariable("ORVANTA_SERVICE_URL");
    if (service.isEmpty())
        return built;
    const QString account = qEnvironmentVariable("ORVANTA_ACCOUNT_URL", service);
    return Config(service, account);
}

void OrvantaApp::describeDesktopApplication() {
    QGuiApplication::setDesktopFileName(QStringLiteral("orvanta"));
    QGuiApplication::setQuitOnLastWindowClosed(false);
}

OrvantaApp::OrvantaApp()
    : m_store(PreferenceStore::openDefault())
    , m_settings(*m_store, m_loginItem)
    , m_vocabulary(*m_store)
    , m_history(History::defaultDirectory())
    , m_keybindings(*m_store)
    , m_auth(serviceConfig(), *this, m_network)
    , m_transcriber(serviceConfig(), m_settings, m_vocabulary, m_auth, m_network)
    , m_transcription(m_transcriber)
    // An X server's keys are everyone's only outside a Wayland session (XWayland sees its
    // own clients' keys alone).
    , m_keySources(qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
                       qEnvironmentVariable("XDG_SESSION_TYPE") != u"wayland",
                   [this](const Shortcut &consumed) {
                       return consumed == m_keybindings.pasteLast() ? KeybindAction::PasteLast
                              : consumed == m_keybindings.cancel()  ? KeybindAction::Cancel
                                                                    : KeybindAction::Activate;
                   })
    , m_permissions(
          [this] { return m_keySources.source().isStarted() || x11::inputAccessAvailable(); })
    , m_waylandInserter(wayland::WaylandTextInserter::forSession(m_insertionChoice, {}))
    , m_hotkeys(m_keySources.source())
    , m_views({{QStringLiteral("keySources"), QVariant::fromValue<QObject *>(&m_keySources)}})
    , m_updater(m_network, QUrl(updateFeed()), QStringLiteral(ORVANTA_VERSION)) {
    // This is the one running instance: what an earlier run left behind is cleared up.
    AudioRecorder::removeLeftovers();
    m_systemAudio.restoreAfterEarlierRun();

    m_indicator = std::make_unique<RecordingIndicatorController>();
    m_indicator->setWindowPreparer([](QWindow &window) {
        x11::keepOnAllWorkspaces(window);
        // On a Wayland session the bar is an XWayland window, and only an unmanaged one keeps
        // its place and never takes the focus from the window the text goes to.
        if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
            window.setFlag(Qt::X11BypassWindowManagerHint);
    });
    m_indicator->setShapedToPill(!x11::compositorRunning());

    m_appState = std::make_unique<AppState>(
        AppStateServices{m_recorder, m_transcription, m_auth, textInsertion(), m_systemAudio,
                         m_permissions, m_sounds, *m_indicator, m_scheduler, m_settings,
                         m_vocabulary, m_history, &m_hotkeys, &m_keybindings});
    m_indicator->attach(*m_appState);

    m_tray = std::make_unique<TrayController>(m_views, *m_appState, m_actions);
    m_tray->setServices(&m_auth, &m_updater);
    m_tray->setActivateBindingCanFire(m_appState->activateBindingCanFire());
    connect(m_appState.get(), &AppState::activateBindingCanFireChanged, this,
            [this] { m_tray->setActivateBindingCanFire(m_appState->activateBindingCanFire()); });

    createSettingsWindow();

    connect(&m_actions, &MenuActions::settingsRequested, this, &OrvantaApp::openSettings);
    connect(&m_actions, &MenuActions::signInRequested, &m_auth, &Auth::openSignInPage);
    connect(&m_actions, &MenuActions::updateCheckRequested, &m_updater, &Updater::checkForUpdates);
    connect(&m_actions, &MenuActions::inputAccessHelpRequested, this,
            [this] { m_permissions.openPrivacyPane(PrivacyPane::InputAccess); });
    connect(&m_actions, &MenuActions::quitRequested, qApp, &QCoreApplication::quit,
            Qt::QueuedConnection);
    // Every way out ends in the event loop's quit: the menu, --quit, a termination signal
    // (see main) and the end of the session.
    connect(qApp, &QCoreApplication::aboutToQuit, m_appState.get(), &AppState::prepareToQuit);
    connect(&m_updater, &Updater::checkFinished, this, &OrvantaApp::showUpdateAnswer);
    connect(&m_updater, &Updater::newerVersionAvailable, this,
            [this](const AppcastRelease &release) {
                showUpdateAnswer(Updater::Outcome::NewerVersion, release);
            });
}

OrvantaApp::~OrvantaApp() = default;

void OrvantaApp::launch() {
    m_tray->show();
    m_appState->bootstrap();
    m_updater.start();
    SchemeHandler *schemes = SchemeHandler::forThisUser(this);
    connect(schemes, &SchemeHandler::finished, schemes, &QObject::deleteLater);
    schemes->ensureRegistered();
}

QString OrvantaApp::handle(const Request &request, bool fromAnotherProcess) {
    using Command = Request::Command;
    switch (request.command) {
    case Command::Launch:
        if (fromAnotherProcess && request.urls.isEmpty())
            openSettings();
        break;
    case Command::Toggle:
        m_appState->toggleDictation();
        break;
    case Command::Start:
        m_appState->startDictation();
        break;
    case Command::Stop:
        m_appState->stopAndTranscribe();
        break;
    case Command::Cancel:
        m_appState->cancelDictation();
        break;
    case Command::PasteLast:
        m_appState->pasteLast();
        break;
    case Command::Settings:
        openSettings();
        break;
    case Command::SignIn:
        m_auth.openSignInPage();
        break;
    case Command::Status:
        return m_appState->status().describe() + u'\t' +
               (m_auth.isSignedIn() ? QStringLiteral("signed-in") : QStringLiteral("signed-out"));
    case Command::Quit:
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        break;
    }
    for (const QString &url : request.urls)
        m_auth.handleCallback(url);
    return QStringLiteral("ok");
}

void OrvantaApp::openInBrowser(const QUrl &url) {
    if (!QDesktopServices::openUrl(url))
        qCWarning(lcApp) << "No browser could open" << url.toString(QUrl::RemoveQuery);
}

// After a browser sign-in: the settings window when it is open, where the account shows.
void OrvantaApp::bringToFront() {
    if (QWindow *window = m_settingsWindow->window(); window && window->isVisible()) {
        window->raise();
        window->requestActivate();
    }
}

TextInsertionPort &OrvantaApp::textInsertion() {
    if (m_waylandInserter)
        return *m_waylandInserter;
    return *m_textInserter;
}

void OrvantaApp::createSettingsWindow() {
    KeybindingsModel::ScanCodeTranslator scanCodes;
    // Both report the XKB key code, which is the Linux key code plus 8.
    if (QGuiApplication::platformName() == u"xcb" ||
        QGuiApplication::platformName().startsWith(u"wayland"))
        scanCodes = [](quint32 code) { return x11::X11KeyTranslator::keyCodeFor(int(code)); };
    m_settingsWindow = std::make_unique<SettingsWindowController>(
        m_views, SettingsWindowServices{
                     *m_appState, m_settings, m_vocabulary, m_history, m_keybindings, m_auth,
                     m_auth, m_permissions, textInsertion(), m_micTester,
                     [this] {
                         QList<std::pair<QString, QString>> devices;
                         for (const AudioInputDevice &device : m_permissions.microphones())
                             devices.append({device.id, device.name});
                         return devices;
                     },
                     [this] {
                         const QUrl page = serviceConfig().accountPage();
                         if (page.isValid())
                             openInBrowser(page);
                     },
                     scanCodes});
}

void OrvantaApp::openSettings() {
    if (m_tray->panel())
        m_tray->panel()->hide();
    m_settingsWindow->show();
}

void OrvantaApp::showUpdateAnswer(Updater::Outcome outcome, const AppcastRelease &release) {
    const QString name = outcome == Updater::Outcome::NewerVersion ? QStringLiteral("newer")
                         : outcome == Updater::Outcome::Failed     ? QStringLiteral("failed")
                                                                   : QStringLiteral("upToDate");
    QWindow *window = m_views.createWindow(
        QStringLiteral("UpdateWindow"),
        {
            {QStringLiteral("outcome"), name},
            {QStringLiteral("version"), release.version},
            {QStringLiteral("link"), release.link},
            {QStringLiteral("currentVersion"), QStringLiteral(ORVANTA_VERSION)},
        });
    if (!window)
        return;
    connect(window, &QWindow::visibleChanged, window, [window](bool visible) {
        if (!visible)
            window->deleteLater();
    });
    window->show();
    window->raise();
    window->requestActivate();
}

} // namespace orvanta
