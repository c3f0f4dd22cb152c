// The X11 paste against a real X server: the toolkit's clipboard and the XTEST keystroke. The
// sequence's own rules are tested once, on stand-ins, in ClipboardPasteTest.

#include "ToolkitClipboard.h"
#include "X11TestSupport.h"
#include "XTestPaste.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;
using orvanta::x11::XTestPaste;
using ::testing::IsEmpty;

namespace {

using Formats = QHash<QString, QByteArray>;

class TextInserterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(keyboard.isOpen()) << "no X display";
        ASSERT_TRUE(target.start(keyboard));
    }

    // Inserts and waits until the insert is done and the clipboard restored.
    InsertionOutcome insert(const QString &text, const InsertionOptions &options = {}) {
        QSignalSpy finished(inserter.get(), &ClipboardPaste::finished);
        std::optional<InsertionOutcome> outcome;
        inserter->insert(text, options,
                         [&outcome](const InsertionOutcome &done) { outcome = done; });
        EXPECT_TRUE(finished.wait(10000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 10000));
        return outcome.value_or(
            InsertionOutcome::failed(InsertionOutcome::Failure::KeystrokeUnavailable, "no answer"));
    }

    // Our own view of the clipboard once `settled` accepts it: a reader learns of a new owner
    // by an event that may trail the target's answer.
    Formats ourView(const std::function<bool(const Formats &)> &settled) {
        Formats seen;
        [[maybe_unused]] const bool done = QTest::qWaitFor(
            [&] {
                seen.clear();
                const auto formats = x11::ToolkitClipboard().read(1s);
                for (const auto &[format, bytes] : *formats)
                    seen.insert(format, bytes);
                return settled(seen);
            },
            5000);
        return seen;
    }

    XKeyboard keyboard;
    TargetApp target;
    std::unique_ptr<ClipboardPaste> inserter = XTestPaste::inserter();
};

TEST_F(TextInserterTest, TextArrivesAndTheClipboardComesBackInEveryFormat) {
    ASSERT_TRUE(target.command(QStringLiteral("set-clipboard")));
    const Formats before = ourView([](const Formats &seen) { return seen.contains("image/png"); });
    for (const char *format : {"text/html", "image/png", "text/plain"})
        ASSERT_TRUE(before.contains(QString::fromLatin1(format))) << format;
    EXPECT_TRUE(insert(QStringLiteral("héllo wörld")).succeeded());
    EXPECT_TRUE(target.waitForLine(QStringLiteral("text héllo wörld")));
    EXPECT_TRUE(target.hasLine(QStringLiteral("key Ctrl+V")));
    EXPECT_EQ(target.clipboardSettledTo(before), before);

    ASSERT_TRUE(target.command(QStringLiteral("clear-clipboard")));
    ASSERT_THAT(ourView([](const Formats &seen) { return seen.isEmpty(); }), IsEmpty());
    EXPECT_TRUE(insert(QStringLiteral(" transient")).succeeded());
    EXPECT_TRUE(target.hasLine(QStringLiteral("text héllo wörld transient")));
    EXPECT_THAT(target.clipboardSettledTo({}), IsEmpty()) << "an empty clipboard is empty again";

    EXPECT_TRUE(insert(QStringLiteral(" kept"), {false, true}).succeeded());
    const Formats offered = target.dumpClipboard();
    EXPECT_EQ(offered.value(QStringLiteral("text/plain")), " kept") << "without restore it stays";
    EXPECT_EQ(offered.value(QStringLiteral("x-kde-passwordManagerHint")), "secret");
}

// Without XTEST nothing can be typed: the keystroke says so instead of claiming success.
TEST(XTestPasteTest, NoKeystrokeWithoutXTest) {
    QProcess server;
    server.start(QStringLiteral("Xvfb"),
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                  QStringLiteral("tcp"), QStringLiteral("-extension"), QStringLiteral("XTEST")});
    ASSERT_TRUE(server.waitForStarted(10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.canReadLine(); }, 10000));
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":" + server.readLine().trimmed());
    XTestPaste keystroke;
    EXPECT_FALSE(keystroke.send(false));
    qputenv("DISPLAY", display);
    server.kill();
    server.waitForFinished(5000);
}

TEST_F(TextInserterTest, AClipboardTakenMomentsBeforeIsStillReplaced) {
    // The target takes the clipboard, stamped later than anything our toolkit has seen, while
    // our event loop stands still: the first attempt to write the text is refused.
    QGuiApplication::clipboard()->setText(QStringLiteral("ours"));
    ASSERT_TRUE(target.command(QStringLiteral("set-clipboard-text theirs")));
    QTest::qWait(100); // we hear that we lost the clipboard, and learn the time of that
    ASSERT_TRUE(target.command(QStringLiteral("clear-clipboard")));
    QThread::msleep(200);
    const unsigned long ownerBefore = keyboard.clipboardOwner();
    target.send(QStringLiteral("take-clipboard-text copied just now"));
    const QDeadlineTimer deadline(10000);
    while (keyboard.clipboardOwner() == ownerBefore && !deadline.hasExpired())
        QThread::msleep(5);
    ASSERT_NE(keyboard.clipboardOwner(), ownerBefore);

    EXPECT_TRUE(insert(QStringLiteral("fresh")).succeeded());
    EXPECT_TRUE(target.waitForLine(QStringLiteral("text fresh")))
        << target.lines().join(u'|').toStdString();
    const Formats copied{{QStringLiteral("text/plain"), "copied just now"}};
    EXPECT_EQ(target.clipboardSettledTo(copied), copied);
}

// The paste waits while the user holds a modifier; one another program holds on the XTEST
// device when the wait ends is let go around the keystroke and pressed again after.
TEST_F(TextInserterTest, TheKeystrokeCarriesNoModifierButItsOwn) {
    QSignalSpy pasted(inserter.get(), &ClipboardPaste::pasted);
    QSignalSpy finished(inserter.get(), &ClipboardPaste::finished);
    keyboard.press("Super_L");
    inserter->insert(QStringLiteral("after release"), {}, {});
    QTest::qWait(300);
    EXPECT_THAT(pasted, IsEmpty()) << "pasted while Super was held";
    keyboard.release("Super_L");
    EXPECT_TRUE(target.waitForLine(QStringLiteral("text after release")));
    EXPECT_TRUE(target.hasLine(QStringLiteral("key Ctrl+V")));
    EXPECT_FALSE(target.hasLine(QStringLiteral("key Meta+Ctrl+V")));
    ASSERT_TRUE(finished.wait(10000));

    ClipboardPaste::Timing timing;
    timing.modifierReleaseLimit = 100ms;
    inserter = XTestPaste::inserter(timing);
    keyboard.sendSynthetic("Shift_L", true);
    target.forget();
    EXPECT_TRUE(insert(QStringLiteral(" plain")).succeeded());
    EXPECT_TRUE(target.waitForLine(QStringLiteral("text after release plain")))
        << target.lines().join(u'|').toStdString();
    EXPECT_TRUE(target.hasLine(QStringLiteral("key Ctrl+V")));
    EXPECT_FALSE(target.hasLine(QStringLiteral("key Ctrl+Shift+V")));
    EXPECT_TRUE(keyboard.isHeld("Shift_L")) << "pressed again after the keystroke";
    keyboard.sendSynthetic("Shift_L", false);
}

TEST_F(TextInserterTest, TerminalsGetCtrlShiftV) {
    keyboard.setWindowClass(target.window(), "xterm", "XTerm");
    EXPECT_TRUE(insert(QStringLiteral("ls")).succeeded());
    EXPECT_TRUE(target.waitForLine(QStringLiteral("key Ctrl+Shift+V")));
    EXPECT_FALSE(target.hasLine(QStringLiteral("key Ctrl+V")));

    EXPECT_TRUE(XTestPaste::isTerminal(QStringLiteral("konsole"), QStringLiteral("Konsole")));
    EXPECT_TRUE(XTestPaste::isTerminal(QStringLiteral("main"), QStringLiteral("Alacritty")));
    EXPECT_FALSE(XTestPaste::isTerminal(QStringLiteral("firefox"), QStringLiteral("Firefox")));
}

} // namespace
