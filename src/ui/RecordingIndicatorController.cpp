#include "RecordingIndicatorController.h"

#include "AppState.h"
#include "FloatingBarGeometry.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QRegion>
#include <QScreen>

Q_LOGGING_CATEGORY(lcFloatingBar, "orvanta.floatingbar", QtInfoMsg)

namespace orvanta {

RecordingIndicatorController::RecordingIndicatorController(QQmlEngine &engine, QObject *parent)
    : QObject(parent)
    , m_engine(engine) {}

void RecordingIndicatorController::attach(AppState &appState) {
    m_appState = &appState;
    connect(&appState, &AppState::statusChanged, this,
            &RecordingIndicatorController::resizeAndPosition);
}

RecordingIndicatorController::~RecordingIndicatorController() {
    delete m_window;
}

bool RecordingIndicatorController::createWindow() {
    QQmlComponent component(&m_engine, QUrl(QStringLiteral("qrc:/Orvanta/FloatingBar.qml")));
    if (component.isError()) {
        qCWarning(lcFloatingBar) << "Cannot load" << component.url() << component.errorString();
        return false;
    }
    QObject *object = component.createWithInitialProperties(
        {{QStringLiteral("appState"), QVariant::fromValue(m_appState.data())}});
    m_window = qobject_cast<QQuickWindow *>(object);
    if (!m_window) {
        qCWarning(lcFloatingBar) << "Cannot create the floating bar:" << component.errorString();
        delete object;
        return false;
    }
    m_window->setProperty("composited", !m_shapedToPill);
    if (m_prepareWindow)
        m_prepareWindow(*m_window);
    connect(m_window, &QQuickWindow::afterAnimating, this,
            &RecordingIndicatorController::updateMask);
    return true;
}

void RecordingIndicatorController::show() {
    if (!m_appState)
        return;
    if (!m_window && !createWindow())
        return;
    resizeAndPosition();
    m_window->show();
    m_window->raise();
}

void RecordingIndicatorController::hide() {
    if (m_window)
        m_window->hide();
}

void RecordingIndicatorController::resizeAndPosition() {
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!m_window || !m_appState || !screen)
        return;
    m_window->setGeometry(
        FloatingBarGeometry::frame(m_appState->status(), screen->availableGeometry()));
    updateMask();
}

void RecordingIndicatorController::setShapedToPill(bool shaped) {
    m_shapedToPill = shaped;
    if (m_window)
        m_window->setProperty("composited", !shaped);
    updateMask();
}

void RecordingIndicatorController::updateMask() {
    if (!m_window)
        return;
    if (!m_shapedToPill) {
        if (!m_window->mask().isEmpty())
            m_window->setMask(QRegion());
        return;
    }
    // The area that reacts to the pointer: what shows is what can be hovered and clicked.
    const QRectF pill = m_window->property("hitRect").toRectF();
    const QRect outer = pill.toAlignedRect();
    const int diameter = outer.height();
    QRegion region(outer.adjusted(diameter / 2, 0, -diameter / 2, 0));
    region += QRegion(QRect(outer.left(), outer.top(), diameter, diameter), QRegion::Ellipse);
    region += QRegion(QRect(outer.right() - diameter + 1, outer.top(), diameter, diameter),
                      QRegion::Ellipse);
    if (region != m_window->mask())
        m_window->setMask(region);
}

} // namespace orvanta
