#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

namespace orvanta::wayland {

// One call of an xdg-desktop-portal method that answers later through a Request object's
// Response signal. The answer is listened for before the call goes out, on the path the
// portal will use (its handle token is ours), so no answer can be missed.
class PortalRequest final : public QObject {
    Q_OBJECT

public:
    enum class Outcome { Success, Cancelled, Failed };
    using Answer = std::function<void(Outcome outcome, const QVariantMap &results)>;

    // Calls `method` of the portal's `interface` with `arguments` followed by the options
    // (handle_token added); `answer` is called once, on the main thread. The request deletes
    // itself afterwards.
    static void call(const QDBusConnection &bus, const QString &interface, const QString &method,
                     const QVariantList &arguments, QVariantMap options, Answer answer);

    // The object path of a request with `token`, as the portal makes it for this connection.
    static QString requestPath(const QDBusConnection &bus, const QString &token);
    // A token no earlier request of this process used.
    static QString newToken();

private slots:
    void onResponse(uint response, const QVariantMap &results);

private:
    PortalRequest(const QDBusConnection &bus, Answer answer);
    void finish(Outcome outcome, const QVariantMap &results);
    void listenAt(const QString &path);

    QDBusConnection m_bus;
    Answer m_answer;
    QString m_path;
    bool m_done = false;
};

} // namespace orvanta::wayland
