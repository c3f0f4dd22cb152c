// The RemoteDesktop portal's keyboard against a stand-in portal on the private session bus
// of the test (dbus-run-session): the real interface, names and signatures, with the user's
// answer to the consent dialog chosen by the test.

#include "RemoteDesktopPaste.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <xkbcommon/xkbcommon-keysyms.h>

#include <gtest/gtest.h>

using namespace orvanta::wayland;

namespace {

const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");

class StandInPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.RemoteDesktop")
    Q_PROPERTY(uint AvailableDeviceTypes READ availableDeviceTypes)
    Q_PROPERTY(uint version READ version)

public:
    explicit StandInPortal(QDBusConnection bus)
        : m_bus(std::move(bus)) {}
    uint availableDeviceTypes() const { return 1 | 2; }
    uint version() const { return 1; }

    uint startAnswer = 0; // the user's answer to the dialog: 0 granted, 1 cancelled
    int sessionsCreated = 0;
    QList<QPair<int, uint>> keys; // keysym, state
    QString session;

    void closeSession() {
        m_bus.send(QDBusMessage::createSignal(
            session, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Closed")));
    }

public slots:
    QDBusObjectPath CreateSession(const QVariantMap &options, const QDBusMessage &call) {
        ++sessionsCreated;
        session = portalPath + QStringLiteral("/session/") + senderPart(call) + u'/' +
                  options.value(QStringLiteral("session_handle_token")).toString();
        return answerLater(call, options, 0, {{QStringLiteral("session_handle"), session}});
    }
    QDBusObjectPath SelectDevices(const QDBusObjectPath &, const QVariantMap &options,
                                  const QDBusMessage &call) {
        m_selectedTypes = options.value(QStringLiteral("types")).toUInt();
        return answerLater(call, options, 0, {});
    }
    QDBusObjectPath Start(const QDBusObjectPath &, const QString &, const QVariantMap &options,
                          const QDBusMessage &call) {
        return answerLater(call, options, startAnswer,
                           {{QStringLiteral("devices"), m_selectedTypes}});
    }
    void NotifyKeyboardKeysym(const QDBusObjectPath &, const QVariantMap &, int keysym,
                              uint state) {
        keys.append({keysym, state});
    }

private:
    static QString senderPart(const QDBusMessage &call) {
        QString sender = call.service().mid(1);
        return sender.replace(u'.', u'_');
    }
    QDBusObjectPath answerLater(const QDBusMessage &call, const QVariantMap &options, uint response,
                                const QVariantMap &results) {
        const QString path = portalPath + QStringLiteral("/request/") + senderPart(call) + u'/' +
                             options.value(QStringLiteral("handle_token")).toString();
        QTimer::singleShot(10, this, [this, path, response, results] {
            QDBusMessage signal = QDBusMessage::createSignal(
                path, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
            signal << response << results;
            m_bus.send(signal);
        });
        return QDBusObjectPath(path);
    }

    QDBusConnection m_bus;
    uint m_selectedTypes = 0;
};

class RemoteDesktopPasteTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(portalBus.isConnected()) << "no session bus";
        ASSERT_TRUE(portalBus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
        ASSERT_TRUE(portalBus.registerObject(portalPath, &portal,
                                             QDBusConnection::ExportAllSlots |
                                                 QDBusConnection::ExportAllProperties));
        paste = RemoteDesktopPaste::create(QDBusConnection::sessionBus());
        ASSERT_TRUE(paste) << "the portal was not found";
    }
    void TearDown() override {
        paste.reset();
        portalBus.unregisterObject(portalPath);
        portalBus.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
    }
    bool waitForState(RemoteDesktopPaste::State state) {
        return QTest::qWaitFor([&] { return paste->state() == state; }, 5000);
    }

    QDBusConnection portalBus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("portal"));
    StandInPortal portal{portalBus};
    std::unique_ptr<RemoteDesktopPaste> paste;
};

TEST_F(RemoteDesktopPasteTest, TheKeystrokeWaitsForConsentAndAClosedSessionIsAskedForAgain) {
    EXPECT_FALSE(paste->send(false)) << "typed before the user agreed";
    ASSERT_TRUE(waitForState(RemoteDesktopPaste::State::Ready));

    ASSERT_TRUE(paste->send(true));
    const QList<QPair<int, uint>> expected = {{XKB_KEY_Control_L, 1}, {XKB_KEY_Shift_L, 1},
                                              {XKB_KEY_v, 1},         {XKB_KEY_v, 0},
                                              {XKB_KEY_Shift_L, 0},   {XKB_KEY_Control_L, 0}};
    ASSERT_TRUE(QTest::qWaitFor([&] { return portal.keys.size() >= expected.size(); }, 5000));
    EXPECT_EQ(portal.keys, expected);

    portal.closeSession();
    ASSERT_TRUE(waitForState(RemoteDesktopPaste::State::Idle));
    EXPECT_FALSE(paste->send(false));
    ASSERT_TRUE(waitForState(RemoteDesktopPaste::State::Ready));
    EXPECT_EQ(portal.sessionsCreated, 2);
}

TEST_F(RemoteDesktopPasteTest, ARefusalIsNotAskedAgainInTheSameRun) {
    portal.startAnswer = 1;
    paste->start();
    ASSERT_TRUE(waitForState(RemoteDesktopPaste::State::Refused));
    EXPECT_FALSE(paste->send(false));
    QTest::qWait(100);
    EXPECT_EQ(portal.sessionsCreated, 1);
    EXPECT_TRUE(portal.keys.isEmpty());
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "RemoteDesktopPasteTest.moc"
