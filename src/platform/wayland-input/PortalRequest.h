#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QVariantMap>

#include <functional>

namespace orvanta::wayland {

// One call of a desktop portal that answers through an org.freedesktop.portal.Request
// object: the Response signal is subscribed on the path the portal will use before the call
// goes out, and again on the path it returns if that differs. Deletes itself once answered.
class PortalRequest final : public QObject {
    Q_OBJECT

public:
    enum class Outcome { Success, Cancelled, Failed, Unavailable };
    using Done = std::function<void(Outcome, const QVariantMap &results)>;

    static constexpr const char *service = "org.freedesktop.portal.Desktop";
    static constexpr const char *objectPath = "/org/freedesktop/portal/desktop";

    // A fresh token for handle_token (and session_handle_token) options.
    static QString newToken();
    // The path a portal gives the object of `token` for this connection.
    static QString requestPath(const QDBusConnection &bus, const QString &token);

    // `call` carries `token` as its handle_token; `done` runs once, on this thread.
    static void send(const QDBusConnection &bus, QDBusMessage call, const QString &token,
                     QObject *context, Done done);

private slots:
    void onResponse(uint response, const QVariantMap &results);

private:
    PortalRequest(const QDBusConnection &bus, QObject *context, Done done);
    void subscribe(const QString &path);
    void unsubscribe();
    void finish(Outcome outcome, const QVariantMap &results);

    QDBusConnection m_bus;
    QString m_path;
    Done m_done;
};

} // namespace orvanta::wayland
