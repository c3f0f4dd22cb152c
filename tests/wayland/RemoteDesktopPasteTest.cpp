// The RemoteDesktop portal's keyboard against a stand-in portal, with the user's answer to
// the consent dialog chosen by the test.

#include "RemoteDesktopPaste.h"
#include "PortalStandIn.h"

#include <xkbcommon/xkbcommon-keysyms.h>

using namespace orvanta::test;
using namespace orvanta::wayland;

namespace {

using Keys = QList<QPair<int, uint>>; // keysym, state

class StandInPortal : public PortalStandIn {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.RemoteDesktop")
    Q_PROPERTY(uint AvailableDeviceTypes READ availableDeviceTypes)
    Q_PROPERTY(uint version READ version)

public:
    using PortalStandIn::PortalStandIn;
    uint availableDeviceTypes() const { return 1 | 2; }
    uint version() const { return 1; }

    uint startAnswer = 0; // the user's answer to the dialog: 0 granted, 1 cancelled
    int sessionsCreated = 0;
    Keys keys;
    QString session;

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
        return respond(call, options, startAnswer, {{"devices", m_selectedTypes}});
    }
    void NotifyKeyboardKeysym(const QDBusObjectPath &, const QVariantMap &, int keysym,
                              uint state) {
        keys.append({keysym, state});
    }

private:
    uint m_selectedTypes = 0;
};

class RemoteDesktopPasteTest : public PortalTest<StandInPortal> {
protected:
    void SetUp() override {
        PortalTest::SetUp();
        startPortal();
        paste = RemoteDesktopPaste::create(bus());
        ASSERT_TRUE(paste) << "the portal was not found";
    }
    void TearDown() override {
        paste.reset();
        PortalTest::TearDown();
    }
    bool waitForState(RemoteDesktopPaste::State state) {
        return QTest::qWaitFor([&] { return paste->state() == state; }, 5000);
    }
    int sessionsCreated() {
        return onPortal([this] { return m_portal->sessionsCreated; });
    }

    std::unique_ptr<RemoteDesktopPaste> paste;
};

TEST_F(RemoteDesktopPasteTest, TheKeystrokeWaitsForConsentAndAClosedSessionIsAskedForAgain) {
    EXPECT_FALSE(paste->send(false)) << "typed before the user agreed";
    ASSERT_TRUE(waitForState(RemoteDesktopPaste::State::Ready));

    ASSERT_TRUE(paste->send(true));
    const Keys expected = {{XKB_KEY_Control_L, 1}, {XKB_KEY_Shift_L, 1}, {XKB_KEY_v, 1},
                           {XKB_KEY_v, 0},         {XKB_KEY_Shift_L, 0}, {XKB_KEY_Control_L, 0}};
    const auto keys = [this] { return onPortal([this] { return m_portal->keys; }); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return keys().size() >= expected.size(); }, 5000));
    EXPECT_EQ(keys(), expected);

    onPortal([this] { return m_portal->closeSession(), true; });
    ASSERT_TRUE(waitForState(RemoteDesktopPaste::State::Idle));
    EXPECT_FALSE(paste->send(false));
    ASSERT_TRUE(waitForState(RemoteDesktopPaste::State::Ready));
    EXPECT_EQ(sessionsCreated(), 2);
}

TEST_F(RemoteDesktopPasteTest, ARefusalIsNotAskedAgainInTheSameRun) {
    onPortal([this] { return m_portal->startAnswer = 1; });
    paste->start();
    ASSERT_TRUE(waitForState(RemoteDesktopPaste::State::Refused));
    EXPECT_FALSE(paste->send(false));
    QTest::qWait(100);
    EXPECT_EQ(sessionsCreated(), 1);
    EXPECT_TRUE(onPortal([this] { return m_portal->keys.isEmpty(); }));
}

} // namespace

#include "RemoteDesktopPasteTest.moc"
