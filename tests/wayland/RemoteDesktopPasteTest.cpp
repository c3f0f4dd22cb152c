// The RemoteDesktop portal's keyboard against a stand-in portal, with the user's answer to
// the consent dialog chosen by the test.

#include "RemoteDesktopPaste.h"
#include "PortalStandIn.h"

#include <xkbcommon/xkbcommon-keysyms.h>

using namespace orvanta::test;
using namespace orvanta::wayland;

namespace {

class RemoteDesktopPasteTest : public PortalTest<RemoteDesktopStandIn> {
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
    QList<QPair<int, uint>> keys() {
        return onPortal([this] { return m_portal->keys; });
    }

    std::unique_ptr<RemoteDesktopPaste> paste;
};

TEST_F(RemoteDesktopPasteTest, TheKeystrokeWaitsForConsentAndAClosedSessionIsAskedForAgain) {
    EXPECT_FALSE(paste->send(false)) << "typed before the user agreed";
    ASSERT_TRUE(waitForState(RemoteDesktopPaste::State::Ready));

    ASSERT_TRUE(paste->send(true));
    const QList<QPair<int, uint>> expected = {{XKB_KEY_Control_L, 1}, {XKB_KEY_Shift_L, 1},
                                              {XKB_KEY_v, 1},         {XKB_KEY_v, 0},
                                              {XKB_KEY_Shift_L, 0},   {XKB_KEY_Control_L, 0}};
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
    EXPECT_TRUE(keys().isEmpty());
}

} // namespace
