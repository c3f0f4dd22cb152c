#include "SettingsWindowController.h"

#include "AccountActions.h"
#include "AppState.h"
#include "GeneralSectionModel.h"
#include "HistoryListModel.h"
#include "ReplacementListModel.h"
#include "Settings.h"
#include "Vocabulary.h"

#include "ViewEngine.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSettingsWindow, "orvanta.settings", QtInfoMsg)

namespace orvanta {

SettingsWindowController::SettingsWindowController(ViewEngine &views,
                                                   const SettingsWindowServices &services,
                                                   QObject *parent)
    : QObject(parent)
    , m_views(views)
    , m_services(services)
    , m_general(new GeneralSectionModel(services.settings, services.appState, services.permissions,
                                        services.listInputDevices, this))
    , m_keybindingsModel(new KeybindingsModel(services.keybindings, this))
    , m_replacements(new ReplacementListModel(services.vocabulary, this))
    , m_history(new HistoryListModel(services.history, services.textInserter, this))
    , m_accountActions(new AccountActions(services.account, services.openManagePage, this)) {
    m_keybindingsModel->setScanCodeTranslator(services.scanCodeTranslator);
    AppState &appState = services.appState;
    m_keybindingsModel->setListenedActivate([&appState] { return appState.listenedActivate(); });
    // The monitor's binding changes when the key source starts and learns what it can see.
    connect(&appState, &AppState::activateBindingCanFireChanged, m_keybindingsModel,
            &KeybindingsModel::rowsChanged);
}

SettingsWindowController::~SettingsWindowController() {
    delete m_window;
}

bool SettingsWindowController::createWindow() {
    m_window = m_views.createWindow(
        QStringLiteral("SettingsView"),
        {
            {QStringLiteral("appState"), QVariant::fromValue(&m_services.appState)},
            {QStringLiteral("settings"), QVariant::fromValue<QObject *>(&m_services.settings)},
            {QStringLiteral("vocabulary"), QVariant::fromValue<QObject *>(&m_services.vocabulary)},
            {QStringLiteral("auth"), QVariant::fromValue(&m_services.auth)},
            {QStringLiteral("micTester"), QVariant::fromValue(&m_services.micTester)},
            {QStringLiteral("general"), QVariant::fromValue<QObject *>(m_general)},
            {QStringLiteral("keybindings"), QVariant::fromValue<QObject *>(m_keybindingsModel)},
            {QStringLiteral("replacements"), QVariant::fromValue<QObject *>(m_replacements)},
            {QStringLiteral("history"), QVariant::fromValue<QObject *>(m_history)},
            {QStringLiteral("accountActions"), QVariant::fromValue<QObject *>(m_accountActions)},
        });
    return m_window != nullptr;
}

bool SettingsWindowController::show() {
    if (!m_window && !createWindow())
        return false;
    m_services.appState.refreshPermissions();
    // Each opening starts on the first section, as a newly made window would.
    if (!m_window->isVisible())
        m_window->setProperty("section", QStringLiteral("general"));
    m_window->show();
    m_window->raise();
    m_window->requestActivate();
    return true;
}

} // namespace orvanta
