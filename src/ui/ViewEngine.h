#pragma once

#include <QQmlEngine>

#include <functional>
#include <memory>

namespace orvanta {

// The QML engine of the menu panel, the settings and the update windows, made when the first
// of them is opened: an instance that only shows its tray icon and floating bar never loads
// Qt Quick's views.
class ViewEngine {
public:
    // `setUp` runs once on the new engine (context properties of the application).
    explicit ViewEngine(std::function<void(QQmlEngine &)> setUp = {});
    ~ViewEngine();
    ViewEngine(const ViewEngine &) = delete;
    ViewEngine &operator=(const ViewEngine &) = delete;

    QQmlEngine &engine();
    bool isLoaded() const { return m_engine != nullptr; }

private:
    std::function<void(QQmlEngine &)> m_setUp;
    std::unique_ptr<QQmlEngine> m_engine;
};

} // namespace orvanta
