// Pasting on GNOME against a real headless mutter (tests/scripts/with-mutter.sh): the text is
// offered on our XWayland clipboard, which mutter hands on to the focused native Wayland
// window, and the keystroke goes through the RemoteDesktop portal. A headless mutter has no
// shell to ask the user, so a portal of the test grants the session (the test waits for its
// start) and forwards its keys to mutter's remote-desktop interface, as the desktop's does.

#include "PortalStandIn.h"
#include "WaylandTextInserter.h"
#include "X11TestSupport.h"

#include <QDBusReply>

#include <xkbcommon/xkbcommon-keysyms.h>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;
using namespace orvanta::wayland;

namespace {

TEST(GnomePasteTest, TextArrivesInANativeWindowThroughXWaylandAndThePortal) {
    // The keyboard session of mutter's remote-desktop interface the portal's keys go to.
    const QString mutter = "org.gnome.Mutter.RemoteDesktop";
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QDBusReply<QDBusObjectPath> session = bus.call(QDBusMessage::createMethodCall(
        mutter, "/org/gnome/Mutter/RemoteDesktop", mutter, "CreateSession"));
    ASSERT_TRUE(session.isValid()) << "mutter's remote-desktop interface is not on the bus";
    const auto call = [&](const QString &method, const QVariantList &arguments = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(mutter, session.value().path(),
                                                              mutter + ".Session", method);
        message.setArguments(arguments);
        return bus.call(message).type() == QDBusMessage::ReplyMessage;
    };
    const auto key = [&](int keysym, bool pressed) {
        return call("NotifyKeyboardKeysym", {uint(keysym), pressed});
    };
    ASSERT_TRUE(call("Start"));
    // A headless mutter's seat has no keyboard until the session's first key makes one, and a
    // window learns of it a moment later.
    ASSERT_TRUE(key(XKB_KEY_Shift_L, true) && key(XKB_KEY_Shift_L, false));
    QTest::qWait(500);
    QDBusConnection portalBus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, "portal");
    RemoteDesktopStandIn portal(portalBus);
    portal.onKey = key;
    ASSERT_TRUE(offerPortal(portalBus, &portal));

    TargetApp target;
    ASSERT_TRUE(target.start());

    TextInsertionChoice choice;
    const auto paste = WaylandTextInserter::forSession(choice, {});
    ASSERT_TRUE(paste) << choice.reason.toStdString();
    EXPECT_EQ(choice.clipboard, ClipboardWay::XWayland);
    ASSERT_TRUE(QTest::qWaitFor([&] { return portal.started; }, 5000));
    QTest::qWait(100); // the portal's answer reaches the paste after the session started

    EXPECT_TRUE(pastes(*paste, target, "héllo wörld", "héllo wörld", {}));
}

} // namespace
