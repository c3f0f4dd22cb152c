#pragma once

#include "FloatingBarWindow.h"
#include "Ports.h"

#include <QObject>
#include <QPointer>

#include <functional>

class QWindow;

namespace orvanta {

class AppState;

// Owns the floating bar's window: created on the first show() and then kept, sized and
// placed by status at the bottom centre of the primary screen.
class RecordingIndicatorController final : public QObject, public FloatingBarPort {
    Q_OBJECT

public:
    explicit RecordingIndicatorController(QObject *parent = nullptr);
    ~RecordingIndicatorController() override;

    // The controller the bar shows and acts on; it owns this port, so it comes later.
    void attach(AppState &appState);

    void show() override;
    void hide() override;
    void resizeAndPosition();

    // Called once with the new window, created but not yet shown (desktop-specific hints).
    void setWindowPreparer(std::function<void(QWindow &)> preparer) {
        m_prepareWindow = std::move(preparer);
    }
    // Without a compositor transparent pixels are black: then the window is cut to its pill.
    void setShapedToPill(bool shaped);
    FloatingBarWindow *window() const { return m_window; }

private:
    QPointer<AppState> m_appState;
    QPointer<FloatingBarWindow> m_window;
    bool m_shapedToPill = false;
    std::function<void(QWindow &)> m_prepareWindow;
};

} // namespace orvanta
