#include "PortalRequest.h"

#include "WaylandInputLogging.h"

#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QRandomGenerator>

namespace orvanta::wayland {

namespace {

const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");

} // namespace

QString PortalRequest::newToken() {
    return QStringLiteral("orvanta%1").arg(QRandomGenerator::global()->generate());
}

QString PortalRequest::requestPath(const QDBusConnection &bus, const QString &token) {
    QString sender = bus.baseService().mid(1);
    sender.replace(u'.', u'_');
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

PortalRequest::PortalRequest(const QDBusConnection &bus, QObject *context, Done done)
    : QObject(context)
    , m_bus(bus)
    , m_done(std::move(done)) {}

void PortalRequest::send(const QDBusConnection &bus, QDBusMessage call, const QString &token,
                         QObject *context, Done done) {
    auto *request = new PortalRequest(bus, context, std::move(done));
    request->subscribe(requestPath(bus, token));
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), request);
    connect(watcher, &QDBusPendingCallWatcher::finished, request,
            [request](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> reply = *finished;
                if (reply.isError()) {
                    qCInfo(lcGlobalShortcuts) << "Portal call failed:" << reply.error().message();
                    request->finish(Outcome::Unavailable, {});
                    return;
                }
                // Older portals chose the path themselves.
                if (reply.value().path() != request->m_path) {
                    request->unsubscribe();
                    request->subscribe(reply.value().path());
                }
            });
}

void PortalRequest::subscribe(const QString &path) {
    m_path = path;
    m_bus.connect(QString::fromLatin1(service), m_path, requestInterface,
                  QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
}

void PortalRequest::unsubscribe() {
    m_bus.disconnect(QString::fromLatin1(service), m_path, requestInterface,
                     QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
}

void PortalRequest::onResponse(uint response, const QVariantMap &results) {
    finish(response == 0   ? Outcome::Success
           : response == 1 ? Outcome::Cancelled
                           : Outcome::Failed,
           results);
}

void PortalRequest::finish(Outcome outcome, const QVariantMap &results) {
    if (!m_done)
        return;
    unsubscribe();
    const Done done = std::exchange(m_done, nullptr);
    deleteLater();
    done(outcome, results);
}

} // namespace orvanta::wayland
