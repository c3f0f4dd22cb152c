#pragma once

#include "KeybindingsModel.h"

#include <QObject>
#include <QPointer>
#include <QWindow>

#include <functional>

namespace orvanta {

class ViewEngine;

class AccountActions;
class AccountSessionPort;
class AppState;
class GeneralSectionModel;
class History;
class HistoryListModel;
class Keybindings;
class PermissionsPort;
class ReplacementListModel;
class Settings;
class TextInsertionPort;
class Vocabulary;

// What the settings window works on; every reference must outlive the controller.
struct SettingsWindowServices {
    AppState &appState;
    Settings &settings;
    Vocabulary &vocabulary;
    History &history;
    Keybindings &keybindings;
    // The account session: its QML-visible side (isSignedIn, email, plan, wordsUsed,
    // wordLimit, openSignInPage(), signOut()) and the port that refreshes its usage.
    QObject &auth;
    AccountSessionPort &account;
    PermissionsPort &permissions;
    TextInsertionPort &textInserter;
    // Lives as long as the window; needs level, isTesting, start(deviceUID), stop().
    QObject &micTester;
    // The microphones as (id, name) pairs, in the sound server's order.
    std::function<QList<std::pair<QString, QString>>()> listInputDevices;
    std::function<void()> openManagePage;
    // Where the platform's native key codes are known (X11), the recorder uses physical keys.
    KeybindingsModel::ScanCodeTranslator scanCodeTranslator;
};

// Creates the settings window on first use and brings it forward on every later one.
class SettingsWindowController : public QObject {
    Q_OBJECT

public:
    SettingsWindowController(ViewEngine &views, const SettingsWindowServices &services,
                             QObject *parent = nullptr);
    ~SettingsWindowController() override;

    // Shows and raises the window (creating it the first time) and re-reads the permissions.
    // False when the window cannot be created; the reason is logged.
    bool show();
    QWindow *window() const { return m_window; }

    GeneralSectionModel &general() const { return *m_general; }
    KeybindingsModel &keybindingsModel() const { return *m_keybindingsModel; }
    ReplacementListModel &replacements() const { return *m_replacements; }
    HistoryListModel &historyModel() const { return *m_history; }
    AccountActions &accountActions() const { return *m_accountActions; }

private:
    bool createWindow();

    ViewEngine &m_views;
    SettingsWindowServices m_services;
    GeneralSectionModel *m_general;
    KeybindingsModel *m_keybindingsModel;
    ReplacementListModel *m_replacements;
    HistoryListModel *m_history;
    AccountActions *m_accountActions;
    QPointer<QWindow> m_window;
};

} // namespace orvanta
