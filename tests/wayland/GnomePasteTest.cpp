// Pasting on GNOME against a real headless mutter (tests/scripts/with-mutter.sh): the text is
// offered on the clipboard of our XWayland connection, which mutter hands on to the native
// Wayland window that has the focus, and the paste keystroke goes through the RemoteDesktop
// portal. The desktop's portal asks the user in a dialog of the shell, which a headless
// mutter has not, so a portal of the test grants the session and forwards its keys to
// mutter's own remote-desktop interface, as the desktop's portal does.

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
    // A keyboard session of mutter's remote-desktop interface, which the desktop's portal, with
    // the user's consent given, sends the paste's keys to.
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
    ASSERT_TRUE(portalBus.registerService("org.freedesktop.portal.Desktop"));
    ASSERT_TRUE(portalBus.registerObject(portalPath, &portal,
                                         QDBusConnection::ExportAllSlots |
                                             QDBusConnection::ExportAllProperties));

    TargetApp target;
    ASSERT_TRUE(target.start());

    TextInsertionChoice choice;
    const auto paste = WaylandTextInserter::forSession(choice, {});
    ASSERT_TRUE(paste) << choice.reason.toStdString();
    EXPECT_EQ(choice.clipboard, ClipboardWay::XWayland);
    EXPECT_EQ(choice.keystroke, PasteKeystrokeProtocol::RemoteDesktopPortal);
    ASSERT_TRUE(QTest::qWaitFor([&] { return portal.started; }, 5000));
    QTest::qWait(100); // the portal's answer reaches the paste after the session started

    EXPECT_TRUE(pastes(*paste, target, "héllo wörld", "héllo wörld", {}));
}

} // namespace
