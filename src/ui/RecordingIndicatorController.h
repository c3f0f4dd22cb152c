#pragma once

#include "Ports.h"

#include <QObject>
#include <QPointer>
#include <QQuickWindow>

class QQmlEngine;
class QScreen;

namespace orvanta {

class AppState;

// Owns the floating bar's window: created on the first show() and then kept, sized and
// placed by status at the bottom centre of the primary screen.
class RecordingIndicatorController final : public QObject, public FloatingBarPort {
    Q_OBJECT

public:
    RecordingIndicatorController(QQmlEngine &engine, AppState &appState, QObject *parent = nullptr);
    ~RecordingIndicatorController() override;

    void show() override;
    void hide() override;
    void resizeAndPosition();

    // Without a compositor transparent pixels are black: then the window is cut to its pill.
    void setShapedToPill(bool shaped);
    QQuickWindow *window() const { return m_window; }

private:
    bool createWindow();
    void updateMask();

    QQmlEngine &m_engine;
    QPointer<AppState> m_appState;
    QPointer<QQuickWindow> m_window;
    bool m_shapedToPill = false;
};

} // namespace orvanta
