#include "RecordingIndicatorController.h"

#include "AppState.h"
#include "FloatingBarGeometry.h"
#include "FloatingBarWindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

namespace orvanta {

RecordingIndicatorController::RecordingIndicatorController(QObject *parent)
    : QObject(parent) {}

void RecordingIndicatorController::attach(AppState &appState) {
    m_appState = &appState;
    connect(&appState, &AppState::statusChanged, this,
            &RecordingIndicatorController::resizeAndPosition);
}

RecordingIndicatorController::~RecordingIndicatorController() {
    delete m_window;
}

void RecordingIndicatorController::show() {
    if (!m_appState)
        return;
    if (!m_window) {
        m_window = new FloatingBarWindow(*m_appState);
        m_window->setComposited(!m_shapedToPill);
        resizeAndPosition();
        m_window->winId();
        if (m_prepareWindow && m_window->windowHandle())
            m_prepareWindow(*m_window->windowHandle());
    }
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
}

void RecordingIndicatorController::setShapedToPill(bool shaped) {
    m_shapedToPill = shaped;
    if (m_window)
        m_window->setComposited(!shaped);
}

} // namespace orvanta
