#include "QmlViews.h"

#include "Symbols.h"

#include <QLoggingCategory>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQuickImageProvider>
#include <QQuickWindow>
#include <QUrlQuery>

Q_LOGGING_CATEGORY(lcQmlViews, "orvanta.views", QtInfoMsg)

extern void qml_register_types_Orvanta();

namespace orvanta {

namespace {

// Serves "image://symbol/<name>?color=<#rrggbb or #aarrggbb>" to the views.
class SymbolImageProvider final : public QQuickImageProvider {
public:
    SymbolImageProvider()
        : QQuickImageProvider(QQuickImageProvider::Image) {}

    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override {
        const qsizetype query = id.indexOf(u'?');
        const QString name = id.left(query);
        QColor colour(Qt::black);
        if (query >= 0) {
            const QColor requested(
                QUrlQuery(id.mid(query + 1)).queryItemValue(QStringLiteral("color")));
            if (requested.isValid())
                colour = requested;
        }
        const QSize target = requestedSize.isValid() ? requestedSize : QSize(24, 24);
        QImage image = Symbols::render(name, colour, target);
        if (size)
            *size = image.size();
        return image;
    }
};

} // namespace

QmlViews::QmlViews(const QVariantMap &contextProperties) {
    static const bool registered = [] {
        qml_register_types_Orvanta();
        // The windows are small and still but for the level meter: drawn by the software
        // renderer they need no GL driver, which would otherwise be most of the memory of an
        // instance (with Mesa, its compiler library alone).
        if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND"))
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        return true;
    }();
    Q_UNUSED(registered);
    m_engine.addImageProvider(QStringLiteral("symbol"), new SymbolImageProvider);
    for (auto property = contextProperties.cbegin(); property != contextProperties.cend();
         ++property)
        m_engine.rootContext()->setContextProperty(property.key(), property.value());
}

ViewFactory *QmlViews::make(const QVariantMap &contextProperties) {
    return new QmlViews(contextProperties);
}

QWindow *QmlViews::createWindow(const QString &view, const QVariantMap &properties) {
    QQmlComponent component(&m_engine, QUrl(QStringLiteral("qrc:/Orvanta/%1.qml").arg(view)));
    if (component.isError()) {
        qCWarning(lcQmlViews) << "Cannot load" << component.url() << component.errorString();
        return nullptr;
    }
    QObject *object = component.createWithInitialProperties(properties);
    auto *window = qobject_cast<QWindow *>(object);
    if (!window) {
        qCWarning(lcQmlViews).noquote()
            << "Cannot create the window of" << view << component.errorString();
        delete object;
    }
    return window;
}

} // namespace orvanta
