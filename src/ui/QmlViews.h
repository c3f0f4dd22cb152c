#pragma once

#include "ViewFactory.h"

#include <QQmlEngine>

namespace orvanta {

// The views in a QML engine of their own, drawn by Qt Quick's software renderer unless
// QT_QUICK_BACKEND chooses another.
class QmlViews final : public ViewFactory {
public:
    explicit QmlViews(const QVariantMap &contextProperties = {});

    QWindow *createWindow(const QString &view, const QVariantMap &properties) override;
    QQmlEngine &engine() { return m_engine; }

    static ViewFactory *make(const QVariantMap &contextProperties);

private:
    QQmlEngine m_engine;
};

} // namespace orvanta
