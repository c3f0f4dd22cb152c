#pragma once

#include "ViewFactory.h"

#include <QStringList>

#include <memory>

namespace orvanta {

// Opens the views library on the first window that needs it: an instance that only shows its
// tray icon and floating bar never maps Qt Quick or QML.
class ViewEngine {
public:
    explicit ViewEngine(QVariantMap contextProperties = {});
    ~ViewEngine();
    ViewEngine(const ViewEngine &) = delete;
    ViewEngine &operator=(const ViewEngine &) = delete;

    // For programs that link the views in (the tests): used instead of the library.
    static void useLinkedViews(ViewFactoryMaker maker);
    // Where the library is looked for: beside the executable (a build tree), then where the
    // package installs it.
    static QStringList libraryCandidates();

    // Null when the views cannot be loaded or the view cannot be made (logged).
    QWindow *createWindow(const QString &view, const QVariantMap &properties);

private:
    ViewFactory *factory();

    QVariantMap m_contextProperties;
    std::unique_ptr<ViewFactory> m_factory;
    bool m_unavailable = false;
};

} // namespace orvanta
