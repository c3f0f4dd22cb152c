// The X11 paste against a real X server: the toolkit's clipboard and the XTEST keystroke. The
// sequence's own rules are tested once, on stand-ins, in ClipboardPasteTest.

#include "ToolkitClipboard.h"
#include "X11TestSupport.h"
#include "XTestPaste.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;
using orvanta::x11::XTestPaste;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

namespace {

using Formats = QHash<QString, QByteArray>;

class TextInserterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(keyboard.isOpen()) << "no X display";
        ASSERT_TRUE(target.start(keyboard));
    }

    // Waits until our own toolkit, which the paste takes its snapshot from, sees `expected`:
    // it learns of a new owner by an event that may trail the change.
    static bool weSee(const Formats &expected) {
        return QTest::qWaitFor([&] {
            Formats seen;
            for (const auto &[format, bytes] :
                 x11::ToolkitClipboard().read(1s).value_or(ClipboardAccess::Formats()))
                seen.insert(format, bytes);
            return seen == expected;
        });
    }

    XKeyboard keyboard;
    TargetApp target;
    std::unique_ptr<ClipboardPaste> inserter = XTestPaste::inserter();
};

TEST_F(TextInserterTest, TextArrivesAndTheClipboardComesBackInEveryFormat) {
    ASSERT_TRUE(target.command("set-clipboard"));
    const Formats before = target.clipboardFormats();
    ASSERT_THAT(before.keys(), UnorderedElementsAre("text/plain", "text/html", "image/png"));
    ASSERT_TRUE(weSee(before));
    EXPECT_TRUE(pastes(*inserter, target, "héllo wörld", "héllo wörld", before));

    ASSERT_TRUE(target.command("clear-clipboard"));
    ASSERT_TRUE(weSee({}));
    EXPECT_TRUE(pastes(*inserter, target, " transient", "héllo wörld transient", {}));
    // A terminal, known here by its class alone, gets Ctrl+Shift+V.
    keyboard.setWindowClass(target.window(), "main", "Alacritty");
    EXPECT_TRUE(insertAndWait(*inserter, "ls").succeeded());
    EXPECT_TRUE(target.waitForLine("key Ctrl+Shift+V"));
}

// The user copies just before the text arrives: the clipboard the target took, stamped later
// than anything our toolkit has seen while its event loop stood still, is still replaced.
TEST_F(TextInserterTest, AClipboardTakenMomentsBeforeIsStillReplaced) {
    QGuiApplication::clipboard()->setText("ours");
    ASSERT_TRUE(target.command("set-clipboard"));
    QTest::qWait(100); // we hear that we lost the clipboard, and learn the time of that
    ASSERT_TRUE(target.command("clear-clipboard"));
    QThread::msleep(200);
    const unsigned long ownerBefore = keyboard.clipboardOwner();
    target.send("take-clipboard-text copied just now");
    const QDeadlineTimer deadline(10000);
    while (keyboard.clipboardOwner() == ownerBefore && !deadline.hasExpired())
        QThread::msleep(5);
    ASSERT_NE(keyboard.clipboardOwner(), ownerBefore);
    EXPECT_TRUE(pastes(*inserter, target, "fresh", "fresh", {{"text/plain", "copied just now"}}));
}

// The paste waits while the user holds a modifier; one another program holds on the XTEST
// device when the wait ends is let go around the keystroke and pressed again after.
TEST_F(TextInserterTest, TheKeystrokeCarriesNoModifierButItsOwn) {
    QSignalSpy pasted(inserter.get(), &ClipboardPaste::pasted);
    QSignalSpy finished(inserter.get(), &ClipboardPaste::finished);
    keyboard.send("Super_L", true);
    inserter->insert("after release", {}, {});
    QTest::qWait(300);
    EXPECT_THAT(pasted, IsEmpty()) << "pasted while Super was held";
    keyboard.send("Super_L", false);
    EXPECT_TRUE(target.waitForLine("text after release"));
    ASSERT_TRUE(finished.wait(10000));

    ClipboardPaste::Timing timing;
    timing.modifierReleaseLimit = 100ms;
    inserter = XTestPaste::inserter(timing);
    keyboard.send("Shift_L", true, true);
    EXPECT_TRUE(insertAndWait(*inserter, " plain").succeeded());
    EXPECT_TRUE(target.waitForLine("text after release plain"));
    EXPECT_THAT(target.lines().filter("key "), ElementsAre("key Ctrl+V", "key Ctrl+V"))
        << "no modifier of the user's or another program's joins it";
    EXPECT_TRUE(XTestPaste().modifierHeld()) << "Shift is pressed again after the keystroke";
    keyboard.send("Shift_L", false, true);
}

} // namespace
