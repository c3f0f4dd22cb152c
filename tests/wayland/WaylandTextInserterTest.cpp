// The Wayland paste against a real compositor (sway or KWin) and a native Wayland window.

#include "WaylandTextInserter.h"
#include "WaylandTestSupport.h"

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;
using namespace orvanta::wayland;

namespace {

TEST(WaylandTextInserterTest, TextArrivesInANativeWindowAndTheClipboardComesBack) {
    WaylandUserKeyboard keyboard;
    ASSERT_TRUE(keyboard.isOpen()) << "the compositor lets no client type";
    TargetApp target;
    ASSERT_TRUE(target.start());
    ASSERT_TRUE(userCopiesInTarget(keyboard, target));
    const QHash<QString, QByteArray> before = target.clipboardFormats();

    TextInsertionChoice choice;
    const auto paste = WaylandTextInserter::forSession(choice, {});
    ASSERT_TRUE(paste) << choice.reason.toStdString();
    EXPECT_TRUE(pastes(*paste, target, "héllo wörld", "héllo wörld", before));
    EXPECT_TRUE(target.hasLine("key Ctrl+V"));
}

TEST(WaylandTextInserterTest, TerminalsGetCtrlShiftV) {
    if (qEnvironmentVariableIsEmpty("SWAYSOCK"))
        GTEST_SKIP() << "this compositor does not tell which application has the focus";
    TargetApp target;
    ASSERT_TRUE(target.start({"--app-id", "foot"}));
    TextInsertionChoice choice;
    const auto paste = WaylandTextInserter::forSession(choice, {});
    ASSERT_TRUE(paste);
    EXPECT_TRUE(insertAndWait(*paste, "ls").succeeded());
    EXPECT_TRUE(target.waitForLine("key Ctrl+Shift+V")) << target.lines().join(u'|').toStdString();
    EXPECT_FALSE(target.hasLine("key Ctrl+V"));
}

} // namespace
