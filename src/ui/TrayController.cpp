#include "TrayController.h"

#include "AppState.h"
#include "MenuActions.h"
#include "MenuBarIcon.h"
#include "MenuRules.h"

#include "ViewEngine.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QMenu>
#include <QMetaProperty>
#include <QPalette>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QWindow>

Q_LOGGING_CATEGORY(lcTray, "orvanta.tray", QtInfoMsg)

namespace orvanta {

TrayController::TrayController(ViewEngine &views, AppState &appState, MenuActions &actions,
                               QObject *parent)
    : QObject(parent)
    , m_views(views)
    , m_appState(&appState)
    , m_actions(actions) {
    connect(&appState, &AppState::statusChanged, this, [this] {
        updateIcon();
        updateMenu();
    });
    // A theme change repaints the icon for the new panel colour.
    qApp->installEventFilter(this);
}

bool TrayController::eventFilter(QObject *watched, QEvent *event) {
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange)
        updateIcon();
    return QObject::eventFilter(watched, event);
}

TrayController::~TrayController() {
    delete m_panel;
}

bool TrayController::show() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        qCWarning(lcTray) << "This desktop shows no tray icons; use the floating bar or"
                          << "'orvanta --settings'";
        return false;
    }
    m_tray = std::make_unique<QSystemTrayIcon>();
    m_tray->setToolTip(QStringLiteral("Talvo"));
    m_menu = std::make_unique<QMenu>();
    m_startStop = m_menu->addAction(QString(), this, [this] {
        if (m_appState)
            m_appState->toggleDictation();
    });
    m_menu->addAction(QStringLiteral("Settings…"), &m_actions, &MenuActions::openSettings);
    m_updates = m_menu->addAction(QStringLiteral("Check for Updates…"), &m_actions,
                                  &MenuActions::checkForUpdates);
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("Quit Talvo"), &m_actions, &MenuActions::quit);
    m_tray->setContextMenu(m_menu.get());
    connect(m_tray.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    togglePanel();
            });
    updateIcon();
    updateMenu();
    m_tray->show();
    return true;
}

void TrayController::setServices(QObject *auth, QObject *updater) {
    m_auth = auth;
    m_updater = updater;
    if (m_updater) {
        const QMetaObject *meta = m_updater->metaObject();
        const QMetaProperty property = meta->property(meta->indexOfProperty("canCheckForUpdates"));
        if (property.hasNotifySignal())
            connect(m_updater, property.notifySignal(), this,
                    metaObject()->method(metaObject()->indexOfSlot("updateMenu()")));
    }
    updateMenu();
}

void TrayController::setActivateBindingCanFire(bool canFire) {
    m_activateBindingCanFire = canFire;
    if (m_panel)
        m_panel->setProperty("activateBindingCanFire", canFire);
}

void TrayController::updateIcon() {
    if (!m_tray || !m_appState)
        return;
    // The desktop's palette stands for the panel's colour, which no tray protocol reports.
    const QColor panel = QGuiApplication::palette().color(QPalette::Window);
    m_tray->setIcon(
        MenuBarIcon::icon(m_appState->status().is(DictationStatus::Kind::Recording), panel));
}

void TrayController::updateMenu() {
    if (!m_startStop || !m_appState)
        return;
    const MenuRules::PrimaryButton button = MenuRules::primaryButton(m_appState->status());
    m_startStop->setText(button.title);
    m_startStop->setEnabled(button.enabled);
    m_updates->setEnabled(m_updater && m_updater->property("canCheckForUpdates").toBool());
}

bool TrayController::createPanel() {
    m_panel = m_views.createWindow(
        QStringLiteral("MenuPanel"),
        {
            {QStringLiteral("appState"), QVariant::fromValue(m_appState.data())},
            {QStringLiteral("auth"), QVariant::fromValue(m_auth.data())},
            {QStringLiteral("updater"), QVariant::fromValue(m_updater.data())},
            {QStringLiteral("actions"), QVariant::fromValue(&m_actions)},
            {QStringLiteral("activateBindingCanFire"), m_activateBindingCanFire},
        });
    return m_panel != nullptr;
}

void TrayController::togglePanel() {
    if (m_panel && m_panel->isVisible()) {
        m_panel->hide();
        return;
    }
    if (!m_panel && !createPanel())
        return;
    placePanel();
    m_panel->show();
    m_panel->raise();
    m_panel->requestActivate();
}

// Under the icon when the tray is at the top of the screen, over it otherwise; centred near
// the top when the icon's place is unknown.
void TrayController::placePanel() {
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen || !m_panel)
        return;
    const QRect available = screen->availableGeometry();
    const QRect icon = m_tray ? m_tray->geometry() : QRect();
    const QSize size = m_panel->size();
    QPoint topLeft;
    if (icon.isValid() && !icon.isEmpty()) {
        const bool trayAtTop = icon.center().y() < screen->geometry().center().y();
        topLeft = {icon.center().x() - size.width() / 2,
                   trayAtTop ? icon.bottom() + 4 : icon.top() - 4 - size.height()};
    } else {
        // The tray did not say where its icon is (a StatusNotifierItem host, a Wayland panel).
        topLeft = {available.center().x() - size.width() / 2, available.top() + 8};
    }
    topLeft.setX(std::clamp(topLeft.x(), available.left(), available.right() - size.width()));
    topLeft.setY(std::clamp(topLeft.y(), available.top(), available.bottom() - size.height()));
    m_panel->setPosition(topLeft);
}

} // namespace orvanta
