// The Wayland paste against a real compositor (sway or KWin, started by the wrapper script)
// and a native Wayland window of the tests.

#include "WaylandTextInserter.h"
#include "FakeInputPaste.h"
#include "VirtualKeyboardPaste.h"
#include "WaylandConnection.h"
#include "X11TestSupport.h"

#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;
using namespace orvanta::wayland;

namespace {

TEST(WaylandTextInserterTest, TextArrivesInANativeWindowAndTheClipboardComesBack) {
    // The user types in the target and copies its text, HTML and image there: a window may
    // take the clipboard only in answer to the user's input. A headless compositor has no
    // keyboard; the user's is a virtual one, on a connection of its own, made before the
    // target's window so that the compositor has it in place.
    const auto connection = WaylandConnection::open();
    ASSERT_TRUE(connection);
    std::unique_ptr<PasteKeystroke> keyboard = VirtualKeyboardPaste::create(*connection);
    if (!keyboard)
        keyboard = FakeInputPaste::create(*connection);
    ASSERT_TRUE(keyboard) << "the compositor lets no client type";
    TargetApp target;
    ASSERT_TRUE(target.start());
    ASSERT_TRUE(keyboard->send(false));
    ASSERT_TRUE(target.waitForLine("key Ctrl+V"));
    target.forget();
    ASSERT_TRUE(target.command("set-clipboard"));
    // The target answers before its toolkit has told the compositor.
    ASSERT_TRUE(QTest::qWaitFor([] {
        QProcess paste;
        paste.start("wl-paste", {"--list-types"});
        return paste.waitForFinished(2000) && paste.readAllStandardOutput().contains("image/png");
    }));
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
