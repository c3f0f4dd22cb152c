#include "ViewEngine.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <QLoggingCategory>
#include <QWindow>

Q_LOGGING_CATEGORY(lcViewEngine, "orvanta.views", QtInfoMsg)

namespace orvanta {

namespace {

ViewFactoryMaker &linkedMaker() {
    static ViewFactoryMaker maker = nullptr;
    return maker;
}

ViewFactoryMaker loadLibrary() {
    QStringList reasons;
    for (const QString &path : ViewEngine::libraryCandidates()) {
        if (!QFileInfo::exists(path)) {
            reasons.append(path + QStringLiteral(" does not exist"));
            continue;
        }
        QLibrary library(path);
        if (auto maker =
                reinterpret_cast<ViewFactoryMaker>(library.resolve(viewFactoryMakerSymbol)))
            return maker; // stays loaded: the QLibrary object going away does not unload it
        reasons.append(library.errorString());
    }
    qCWarning(lcViewEngine).noquote()
        << "Cannot load the views:" << reasons.join(QStringLiteral("; "));
    return nullptr;
}

} // namespace

ViewEngine::ViewEngine(QVariantMap contextProperties)
    : m_contextProperties(std::move(contextProperties)) {}

ViewEngine::~ViewEngine() = default;

void ViewEngine::useLinkedViews(ViewFactoryMaker maker) {
    linkedMaker() = maker;
}

QStringList ViewEngine::libraryCandidates() {
    const QString name = QStringLiteral("liborvanta-views.so");
    return {QCoreApplication::applicationDirPath() + u'/' + name,
            QStringLiteral(ORVANTA_VIEWS_DIR "/") + name};
}

ViewFactory *ViewEngine::factory() {
    if (m_factory || m_unavailable)
        return m_factory.get();
    const ViewFactoryMaker maker = linkedMaker() ? linkedMaker() : loadLibrary();
    if (maker)
        m_factory.reset(maker(m_contextProperties));
    m_unavailable = !m_factory;
    return m_factory.get();
}

QWindow *ViewEngine::createWindow(const QString &view, const QVariantMap &properties) {
    ViewFactory *views = factory();
    return views ? views->createWindow(view, properties) : nullptr;
}

} // namespace orvanta
