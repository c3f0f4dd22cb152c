#pragma once

#include <QObject>
#include <QPointer>
#include <QWindow>

#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace orvanta {

class ViewEngine;

class AppState;
class MenuActions;

// The tray icon: its image follows the status, a left click opens the menu panel beside it,
// and a plain context menu offers the main actions for panels that only show menus.
class TrayController : public QObject {
    Q_OBJECT

public:
    TrayController(ViewEngine &views, AppState &appState, MenuActions &actions,
                   QObject *parent = nullptr);
    ~TrayController() override;

    // False when the desktop offers no tray; the reason is logged.
    bool show();
    // Extra objects for the panel: the account session and the updater (may be null).
    void setServices(QObject *auth, QObject *updater);
    void setActivateBindingCanFire(bool canFire);
    void togglePanel();
    QWindow *panel() const { return m_panel; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void updateMenu();

private:
    void updateIcon();
    bool createPanel();
    void placePanel();

    ViewEngine &m_views;
    QPointer<AppState> m_appState;
    MenuActions &m_actions;
    QPointer<QObject> m_auth;
    QPointer<QObject> m_updater;
    bool m_activateBindingCanFire = true;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    std::unique_ptr<QMenu> m_menu;
    QAction *m_startStop = nullptr;
    QAction *m_updates = nullptr;
    QPointer<QWindow> m_panel;
};

} // namespace orvanta
