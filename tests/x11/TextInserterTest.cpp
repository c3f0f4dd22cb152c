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

Formats ourClipboard() {
    Formats formats;
    const auto read = orvanta::x11::ToolkitClipboard().read(1s);
    for (const auto &[format, bytes] : *read)
        formats.insert(format, bytes);
    return formats;
}

// The clipboard as a window other than ours reads it, without our process's own formats.
Formats realFormats(const Formats &formats) {
    Formats real;
    for (auto it = formats.cbegin(); it != formats.cend(); ++it) {
        if (it.key().contains(u'/') && it.key() != u"application/x-qt-image")
            real.insert(it.key(), it.value());
    }
    return real;
}

class TextInserterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(keyboard.isOpen()) << "no X display";
        ASSERT_TRUE(target.start(keyboard));
    }

    bool waitForFinished(ClipboardPaste &inserter) {
        QSignalSpy finished(&inserter, &ClipboardPaste::finished);
        return finished.wait(10000);
    }

    // Our own view of the clipboard the target just set, once `settled` accepts it: a reader
    // learns of a new owner by an event that may trail the target's answer.
    Formats ourView(const std::function<bool(const Formats &)> &settled) {
        Formats seen;
        [[maybe_unused]] const bool done = QTest::qWaitFor(
            [&] {
                seen = ourClipboard();
                return settled(seen);
            },
            5000);
        return seen;
    }
    Formats ourViewOfTheFullClipboard() {
        return ourView(
            [](const Formats &seen) { return seen.contains(QStringLiteral("image/png")); });
    }

    // The target's clipboard formats once they equal `expected`, or as they are after a
    // generous wait. A reader may still list the formats of the previous owner for a moment
    // after the owner changed, so the target is asked again until it has caught up.
    Formats targetClipboardSettledTo(const Formats &expected) {
        Formats seen;
        [[maybe_unused]] const bool settled = QTest::qWaitFor(
            [&] {
                seen = realFormats(target.dumpClipboard());
                return seen == expected;
            },
            5000);
        return seen;
    }

    XKeyboard keyboard;
    TargetApp target;
};

TEST_F(TextInserterTest, TextArrivesAndEveryClipboardFormatComesBack) {
    ASSERT_TRUE(target.command(QStringLiteral("set-clipboard")));
    const Formats before = ourViewOfTheFullClipboard();
    ASSERT_TRUE(before.contains(QStringLiteral("text/html")));
    ASSERT_TRUE(before.contains(QStringLiteral("image/png")));
    ASSERT_TRUE(before.contains(QStringLiteral("text/plain")));

    auto inserter = XTestPaste::inserter();
    QSignalSpy finished(inserter.get(), &ClipboardPaste::finished);
    inserter->insert(QStringLiteral("héllo wörld"), {}, {});
    EXPECT_TRUE(target.waitForLine(QStringLiteral("text héllo wörld")));
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(targetClipboardSettledTo(before), before);
}

TEST_F(TextInserterTest, AnEmptyClipboardIsEmptyAgain) {
    ASSERT_TRUE(target.command(QStringLiteral("set-clipboard-text something")));
    ASSERT_TRUE(target.command(QStringLiteral("clear-clipboard")));
    ASSERT_THAT(ourView([](const Formats &seen) { return seen.isEmpty(); }), IsEmpty());

    auto inserter = XTestPaste::inserter();
    inserter->insert(QStringLiteral("transient"), {}, {});
    ASSERT_TRUE(waitForFinished(*inserter));
    EXPECT_TRUE(target.hasLine(QStringLiteral("text transient")));
    EXPECT_THAT(targetClipboardSettledTo({}), IsEmpty());

    std::optional<InsertionOutcome> outcome;
    inserter->insert(QStringLiteral("kept"), {false, true},
                     [&outcome](const InsertionOutcome &answer) { outcome = answer; });
    ASSERT_TRUE(waitForFinished(*inserter));
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 10000));
    EXPECT_TRUE(outcome->succeeded());
    const Formats offered = target.dumpClipboard();
    EXPECT_EQ(offered.value(QStringLiteral("text/plain")), "kept")
        << "without restore the text stays";
    EXPECT_EQ(offered.value(QStringLiteral("x-kde-passwordManagerHint")), "secret")
        << "a sensitive text asks clipboard managers to skip it";
}

// Without XTEST nothing can be typed: the insert reports it instead of claiming success.
TEST_F(TextInserterTest, NoKeystrokeIsAFailureTheCallerHears) {
    QProcess server;
    server.start(QStringLiteral("Xvfb"),
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                  QStringLiteral("tcp"), QStringLiteral("-extension"), QStringLiteral("XTEST")});
    ASSERT_TRUE(server.waitForStarted(10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.canReadLine(); }, 10000));
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":" + server.readLine().trimmed());
    auto inserter = XTestPaste::inserter();
    std::optional<InsertionOutcome> outcome;
    inserter->insert(QStringLiteral("nowhere"), {},
                     [&outcome](const InsertionOutcome &answer) { outcome = answer; });
    const bool answered = QTest::qWaitFor([&] { return outcome.has_value(); }, 10000);
    qputenv("DISPLAY", display);
    server.kill();
    server.waitForFinished(5000);
    ASSERT_TRUE(answered);
    EXPECT_EQ(outcome->failure, InsertionOutcome::Failure::KeystrokeUnavailable);
}

TEST_F(TextInserterTest, QuickInsertsKeepTheUsersClipboard) {
    ASSERT_TRUE(target.command(QStringLiteral("set-clipboard")));
    const Formats before = ourViewOfTheFullClipboard();

    auto inserter = XTestPaste::inserter();
    QSignalSpy pasted(inserter.get(), &ClipboardPaste::pasted);
    inserter->insert(QStringLiteral("one "), {}, {});
    inserter->insert(QStringLiteral("two "), {}, {});
    // The third comes while the restore after the second is pending.
    ASSERT_TRUE(QTest::qWaitFor([&] { return pasted.size() == 2; }, 10000));
    inserter->insert(QStringLiteral("three"), {}, {});
    ASSERT_TRUE(waitForFinished(*inserter));
    EXPECT_TRUE(target.hasLine(QStringLiteral("text one two three")))
        << target.lines().join(u'|').toStdString();
    EXPECT_EQ(targetClipboardSettledTo(before), before);
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

    auto inserter = XTestPaste::inserter();
    inserter->insert(QStringLiteral("fresh"), {}, {});
    EXPECT_TRUE(target.waitForLine(QStringLiteral("text fresh")))
        << target.lines().join(u'|').toStdString();
    ASSERT_TRUE(waitForFinished(*inserter));
    const Formats copied{{QStringLiteral("text/plain"), "copied just now"}};
    EXPECT_EQ(targetClipboardSettledTo(copied), copied);
}

TEST_F(TextInserterTest, ACopyMadeBeforeTheRestoreStays) {
    ASSERT_TRUE(target.command(QStringLiteral("set-clipboard")));
    ClipboardPaste::Timing slowRestore;
    slowRestore.restoreDelay = 3s;
    auto inserter = XTestPaste::inserter(slowRestore);
    QSignalSpy finished(inserter.get(), &ClipboardPaste::finished);
    inserter->insert(QStringLiteral("dictated"), {}, {});
    ASSERT_TRUE(target.waitForLine(QStringLiteral("text dictated")));
    ASSERT_TRUE(target.command(QStringLiteral("set-clipboard-text copied later")));
    ASSERT_TRUE(finished.wait(10000));
    const Formats after = target.dumpClipboard();
    EXPECT_EQ(after.value(QStringLiteral("text/plain")), "copied later");
    EXPECT_FALSE(after.contains(QStringLiteral("image/png")));
}

TEST_F(TextInserterTest, ThePasteWaitsUntilModifiersAreReleased) {
    auto inserter = XTestPaste::inserter();
    QSignalSpy pasted(inserter.get(), &ClipboardPaste::pasted);
    keyboard.press("Super_L");
    inserter->insert(QStringLiteral("after release"), {}, {});
    QTest::qWait(300);
    EXPECT_THAT(pasted, IsEmpty()) << "pasted while Super was held";
    keyboard.release("Super_L");
    EXPECT_TRUE(target.waitForLine(QStringLiteral("text after release")));
    EXPECT_TRUE(target.hasLine(QStringLiteral("key Ctrl+V")));
    EXPECT_FALSE(target.hasLine(QStringLiteral("key Meta+Ctrl+V")));
    ASSERT_TRUE(waitForFinished(*inserter));
}

// A modifier another program holds on the XTEST device when the wait ends would reach the
// keystroke: it is let go around it and pressed again after.
TEST_F(TextInserterTest, AModifierHeldTooLongIsLetGoAroundTheKeystroke) {
    ClipboardPaste::Timing timing;
    timing.modifierReleaseLimit = 100ms;
    auto inserter = XTestPaste::inserter(timing);
    keyboard.sendSynthetic("Shift_L", true);
    target.forget();
    inserter->insert(QStringLiteral("plain"), {}, {});
    EXPECT_TRUE(target.waitForLine(QStringLiteral("text plain")))
        << target.lines().join(u'|').toStdString();
    EXPECT_TRUE(target.hasLine(QStringLiteral("key Ctrl+V")));
    EXPECT_FALSE(target.hasLine(QStringLiteral("key Ctrl+Shift+V")));
    EXPECT_TRUE(keyboard.isHeld("Shift_L")) << "pressed again after the keystroke";
    keyboard.sendSynthetic("Shift_L", false);
    ASSERT_TRUE(waitForFinished(*inserter));
}

TEST_F(TextInserterTest, TerminalsGetCtrlShiftV) {
    keyboard.setWindowClass(target.window(), "xterm", "XTerm");
    auto inserter = XTestPaste::inserter();
    inserter->insert(QStringLiteral("ls"), {}, {});
    EXPECT_TRUE(target.waitForLine(QStringLiteral("key Ctrl+Shift+V")));
    EXPECT_FALSE(target.hasLine(QStringLiteral("key Ctrl+V")));
    ASSERT_TRUE(waitForFinished(*inserter));

    EXPECT_TRUE(XTestPaste::isTerminal(QStringLiteral("konsole"), QStringLiteral("Konsole")));
    EXPECT_TRUE(XTestPaste::isTerminal(QStringLiteral("main"), QStringLiteral("Alacritty")));
    EXPECT_FALSE(XTestPaste::isTerminal(QStringLiteral("firefox"), QStringLiteral("Firefox")));
}

} // namespace
