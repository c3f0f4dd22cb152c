// The RemoteDesktop portal's keyboard against a stand-in portal, with the user's answer to
// the consent dialog chosen by the test.

#include "RemoteDesktopPaste.h"
#include "PortalStandIn.h"

#include <xkbcommon/xkbcommon-keysyms.h>

using namespace orvanta::test;
using namespace orvanta::wayland;

namespace {

using RemoteDesktopPasteTest = PortalTest<RemoteDesktopStandIn>;

// The keystroke waits for the user's consent; a session the desktop closed is asked for
// again, one the user refused not again in the same run.
TEST_F(RemoteDesktopPasteTest, TypesWithConsentAndAsksAgainOnlyForAClosedSession) {
    RemoteDesktopStandIn *portal = startPortal();
    const auto paste = RemoteDesktopPaste::create(bus());
    ASSERT_TRUE(paste) << "the portal was not found";
    const auto reaches = [&](RemoteDesktopPaste::State state) {
        return QTest::qWaitFor([&] { return paste->state() == state; });
    };
    const auto keys = [&] { return onPortal([&] { return portal->keys; }); };
    EXPECT_FALSE(paste->send(false)) << "typed before the user agreed";
    ASSERT_TRUE(reaches(RemoteDesktopPaste::State::Ready));

    ASSERT_TRUE(paste->send(true));
    const QList<QPair<int, uint>> expected = {{XKB_KEY_Control_L, 1}, {XKB_KEY_Shift_L, 1},
                                              {XKB_KEY_v, 1},         {XKB_KEY_v, 0},
                                              {XKB_KEY_Shift_L, 0},   {XKB_KEY_Control_L, 0}};
    ASSERT_TRUE(QTest::qWaitFor([&] { return keys().size() >= expected.size(); }));
    EXPECT_EQ(keys(), expected);

    onPortal([&] { return portal->closeSession(), portal->startAnswer = 1; });
    ASSERT_TRUE(reaches(RemoteDesktopPaste::State::Idle));
    EXPECT_FALSE(paste->send(false));
    ASSERT_TRUE(reaches(RemoteDesktopPaste::State::Refused));
    EXPECT_FALSE(paste->send(false));
    QTest::qWait(100);
    EXPECT_EQ(onPortal([&] { return portal->sessionsCreated; }), 2);
    EXPECT_EQ(keys(), expected);
}

} // namespace
