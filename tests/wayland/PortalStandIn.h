#pragma once

// Stand-in desktop portals (real interface names, signatures and Request/Response pattern) on a
// private dbus-daemon without service activation, so the machine's own portal never answers.

#include "TempEnvironment.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QProcess>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace orvanta::test {

const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");

class PortalStandIn : public QObject {
public:
    explicit PortalStandIn(QDBusConnection bus)
        : m_bus(std::move(bus)) {}

    bool ownRequestPaths = false; // answer on a path of the portal's choosing, as old portals do

protected:
    static QString sender(const QDBusMessage &call) {
        return call.service().mid(1).replace(u'.', u'_');
    }
    static QString sessionPath(const QDBusMessage &call, const QVariantMap &options) {
        return portalPath + "/session/" + sender(call) + u'/' +
               options.value("session_handle_token").toString();
    }
    void sendSignal(const QString &path, const QString &interface, const QString &name,
                    const QVariantList &arguments) {
        QDBusMessage signal = QDBusMessage::createSignal(path, interface, name);
        signal.setArguments(arguments);
        m_bus.send(signal);
    }
    // The answer follows the reply, as a dialog takes its time (on its own path, long after).
    QDBusObjectPath respond(const QDBusMessage &call, const QVariantMap &options, uint response,
                            const QVariantMap &results) {
        const QString path = portalPath + "/request/" + sender(call) + u'/' +
                             (ownRequestPaths ? "portal" : "") +
                             options.value("handle_token").toString();
        QTimer::singleShot(ownRequestPaths ? 200 : 10, this, [this, path, response, results] {
            sendSignal(path, "org.freedesktop.portal.Request", "Response", {response, results});
        });
        return QDBusObjectPath(path);
    }

    QDBusConnection m_bus;
};

// Serves `portal` on `bus` as the desktop's portals.
inline bool offerPortal(QDBusConnection &bus, QObject *portal) {
    return bus.registerObject(portalPath, portal,
                              QDBusConnection::ExportAllSlots |
                                  QDBusConnection::ExportAllProperties) &&
           bus.registerService("org.freedesktop.portal.Desktop");
}

// org.freedesktop.portal.RemoteDesktop: the test picks the consent answer; keys go to `onKey`.
class RemoteDesktopStandIn : public PortalStandIn {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.RemoteDesktop")
    Q_PROPERTY(uint AvailableDeviceTypes READ availableDeviceTypes)

public:
    using PortalStandIn::PortalStandIn;
    uint availableDeviceTypes() const { return 1 | 2; }

    uint startAnswer = 0; // 0 granted, 1 cancelled
    int sessionsCreated = 0;
    bool started = false;
    QString session;
    QList<QPair<int, uint>> keys; // keysym, state
    std::function<bool(int, bool)> onKey;

    void closeSession() { sendSignal(session, "org.freedesktop.portal.Session", "Closed", {}); }

public slots:
    QDBusObjectPath CreateSession(const QVariantMap &options, const QDBusMessage &call) {
        ++sessionsCreated;
        session = sessionPath(call, options);
        return respond(call, options, 0, {{"session_handle", session}});
    }
    QDBusObjectPath SelectDevices(const QDBusObjectPath &, const QVariantMap &options,
                                  const QDBusMessage &call) {
        m_selectedTypes = options.value("types").toUInt();
        return respond(call, options, 0, {});
    }
    QDBusObjectPath Start(const QDBusObjectPath &, const QString &, const QVariantMap &options,
                          const QDBusMessage &call) {
        started = startAnswer == 0;
        return respond(call, options, startAnswer, {{"devices", m_selectedTypes}});
    }
    void NotifyKeyboardKeysym(const QDBusObjectPath &, const QVariantMap &, int keysym,
                              uint state) {
        keys.append({keysym, state});
        if (onKey)
            onKey(keysym, state != 0);
    }

private:
    uint m_selectedTypes = 0;
};

// Runs a stand-in portal on a thread of its own, so a client may ask it with blocking calls.
template <typename Portal> class PortalTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString config = m_directory.filePath("bus.conf");
        TempFolder::write(config,
                          "<busconfig><type>session</type><listen>unix:dir=" +
                              QFile::encodeName(m_directory.path()) +
                              "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                              "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                              "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
        m_daemon.start("dbus-daemon", {"--config-file=" + config, "--nofork", "--print-address"});
        ASSERT_TRUE(QTest::qWaitFor([this] { return m_daemon.canReadLine(); }));
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    void TearDown() override {
        stopPortal();
        m_daemon.terminate();
        m_daemon.waitForFinished();
    }

    QDBusConnection bus(const QString &name = QStringLiteral("client")) {
        return QDBusConnection::connectToBus(m_address, name);
    }
    Portal *startPortal() {
        QDBusConnection connection = bus("portal");
        m_portal = new Portal(connection);
        m_portal->moveToThread(&m_portalThread);
        m_portalThread.start();
        EXPECT_TRUE(offerPortal(connection, m_portal));
        return m_portal;
    }
    // Stops the portal and drops the client's connection, for a fresh start.
    void stopPortal() {
        QDBusConnection::disconnectFromBus("client");
        if (!m_portal)
            return;
        QDBusConnection::disconnectFromBus("portal");
        QMetaObject::invokeMethod(
            m_portal, [this] { delete m_portal; }, Qt::BlockingQueuedConnection);
        m_portal = nullptr;
        m_portalThread.quit();
        m_portalThread.wait();
    }
    // Runs `f` on the portal's thread and hands back its answer.
    template <typename F> auto onPortal(F f) {
        decltype(f()) result{};
        QMetaObject::invokeMethod(
            m_portal, [&] { result = f(); }, Qt::BlockingQueuedConnection);
        return result;
    }

    QThread m_portalThread;
    Portal *m_portal = nullptr;
    TempFolder m_directory;
    QProcess m_daemon;
    QString m_address;
};

} // namespace orvanta::test
