#pragma once

#include <QString>
#include <QVariantMap>

class QWindow;

namespace orvanta {

// Makes the windows whose contents are QML views: the menu panel, the settings and the
// update windows. It lives in a library of its own, with Qt Quick and QML, which the
// application loads when the first of those windows opens.
class ViewFactory {
public:
    virtual ~ViewFactory() = default;
    // The window of `view` (a view's file name without ".qml") with its initial properties;
    // null, with the reason logged, when it cannot be made.
    virtual QWindow *createWindow(const QString &view, const QVariantMap &properties) = 0;
};

// The library's entry point: a factory whose views see `contextProperties`.
using ViewFactoryMaker = ViewFactory *(*)(const QVariantMap &contextProperties);
inline constexpr char viewFactoryMakerSymbol[] = "orvanta_make_view_factory";

} // namespace orvanta
