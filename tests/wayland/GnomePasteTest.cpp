// Pasting on headless mutter: the text on our XWayland clipboard, the keystroke through a portal of
// the test that grants the session and forwards its keys to mutter's remote-desktop interface.

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
    // A headless seat gets a keyboard with the session's first key; windows learn of it later.
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
