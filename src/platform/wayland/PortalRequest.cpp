#include "PortalRequest.h"

#include "WaylandLogging.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <atomic>

namespace orvanta::wayland {

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");

} // namespace

QString PortalRequest::newToken() {
    static std::atomic<int> counter{0};
    return QStringLiteral("orvanta%1").arg(++counter);
}

QString PortalRequest::requestPath(const QDBusConnection &bus, const QString &token) {
    QString sender = bus.baseService();
    sender.remove(0, sender.startsWith(u':') ? 1 : 0);
    sender.replace(u'.', u'_');
    return portalPath + QStringLiteral("/request/") + sender + u'/' + token;
}

PortalRequest::PortalRequest(const QDBusConnection &bus, Answer answer)
    : m_bus(bus)
    , m_answer(std::move(answer)) {}

void PortalRequest::listenAt(const QString &path) {
    if (path == m_path)
        return;
    if (!m_path.isEmpty())
        m_bus.disconnect(portalService, m_path, requestInterface, QStringLiteral("Response"), this,
                         SLOT(onResponse(uint, QVariantMap)));
    m_path = path;
    m_bus.connect(portalService, m_path, requestInterface, QStringLiteral("Response"), this,
                  SLOT(onResponse(uint, QVariantMap)));
}

void PortalRequest::call(const QDBusConnection &bus, const QString &interface,
                         const QString &method, const QVariantList &arguments, QVariantMap options,
                         Answer answer) {
    auto *request = new PortalRequest(bus, std::move(answer));
    const QString token = newToken();
    options.insert(QStringLiteral("handle_token"), token);
    request->listenAt(requestPath(bus, token));

    QDBusMessage message =
        QDBusMessage::createMethodCall(portalService, portalPath, interface, method);
    message.setArguments(QVariantList(arguments) << options);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(message), request);
    connect(watcher, &QDBusPendingCallWatcher::finished, request, [request, method](auto *call) {
        const QDBusPendingReply<QDBusObjectPath> reply = *call;
        call->deleteLater();
        if (reply.isError()) {
            qCWarning(lcWayland) << "the portal refused" << method << reply.error().message();
            request->finish(Outcome::Failed, {});
            return;
        }
        // An older portal may choose its own path; the answer then comes there.
        request->listenAt(reply.value().path());
    });
}

void PortalRequest::onResponse(uint response, const QVariantMap &results) {
    finish(response == 0   ? Outcome::Success
           : response == 1 ? Outcome::Cancelled
                           : Outcome::Failed,
           results);
}

void PortalRequest::finish(Outcome outcome, const QVariantMap &results) {
    if (m_done)
        return;
    m_done = true;
    m_answer(outcome, results);
    deleteLater();
}

} // namespace orvanta::wayland
