#pragma once

#include "Ports.h"

#include <QObject>
#include <QPointer>
#include <QQuickWindow>

#include <functional>

class QQmlEngine;
class QScreen;

namespace orvanta {

class AppState;

// Owns the floating bar's window: created on the first show() and then kept, sized and
// placed by status at the bottom centre of the primary screen.
class RecordingIndicatorController final : public QObject, public FloatingBarPort {
    Q_OBJECT

public:
    explicit RecordingIndicatorController(QQmlEngine &engine, QObject *parent = nullptr);
    ~RecordingIndicatorController() override;

    // The controller the bar shows and acts on; it owns this port, so it comes later.
    void attach(AppState &appState);

    void show() override;
    void hide() override;
    void resizeAndPosition();

    // Called once with the new window before it is first shown (desktop-specific hints).
    void setWindowPreparer(std::function<void(QQuickWindow &)> preparer) {
        m_prepareWindow = std::move(preparer);
    }
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
    std::function<void(QQuickWindow &)> m_prepareWindow;
};

} // namespace orvanta
