#include "WaylandTextInserter.h"
#include "WaylandProbe.h"
#include "WaylandTestSupport.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;
using namespace orvanta::wayland;
using namespace std::chrono_literals;

extern WaylandUserKeyboard *userKeyboard;

namespace {

using Formats = QHash<QString, QByteArray>;

// Inserts and waits until every insert is done and the clipboard restored.
InsertionOutcome insertAndWait(ClipboardPaste &paste, const QString &text,
                               const InsertionOptions &options = {}) {
    QSignalSpy finished(&paste, &ClipboardPaste::finished);
    std::optional<InsertionOutcome> outcome;
    paste.insert(text, options, [&outcome](const InsertionOutcome &done) { outcome = done; });
    EXPECT_TRUE(finished.wait(10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 5000));
    return outcome.value_or(
        InsertionOutcome::failed(InsertionOutcome::Failure::KeystrokeUnavailable, "no answer"));
}

TEST(WaylandTextInserterTest, TextArrivesInANativeWindowAndTheClipboardComesBack) {
    TargetApp target;
    ASSERT_TRUE(target.start());
    ASSERT_TRUE(userCopiesInTarget(*userKeyboard, target));
    const Formats before = target.clipboardFormats();
    ASSERT_TRUE(before.contains(QStringLiteral("image/png")));
    ASSERT_TRUE(before.contains(QStringLiteral("text/html")));

    TextInsertionChoice choice;
    const auto paste = WaylandTextInserter::forSession(choice, {});
    EXPECT_EQ(choice.mechanism, TextInsertionMechanism::WaylandTyped);
    ASSERT_TRUE(paste) << choice.reason.toStdString();
    EXPECT_TRUE(insertAndWait(*paste, QStringLiteral("héllo wörld")).succeeded());
    EXPECT_TRUE(target.waitForLine(QStringLiteral("text héllo wörld")))
        << target.lines().join(u'|').toStdString();
    EXPECT_TRUE(target.hasLine(QStringLiteral("key Ctrl+V")));
    EXPECT_EQ(target.clipboardSettledTo(before), before);

    // Two quick dictations: the clipboard restored after the last is still the user's.
    paste->insert(QStringLiteral(" one"), {}, {});
    EXPECT_TRUE(insertAndWait(*paste, QStringLiteral(" two")).succeeded());
    EXPECT_TRUE(target.waitForLine(QStringLiteral("text héllo wörld one two")))
        << target.lines().join(u'|').toStdString();
    EXPECT_EQ(target.clipboardSettledTo(before), before);
}

TEST(WaylandTextInserterTest, TerminalsGetCtrlShiftV) {
    if (qEnvironmentVariableIsEmpty("SWAYSOCK"))
        GTEST_SKIP() << "this compositor does not tell which application has the focus";
    TargetApp target;
    ASSERT_TRUE(target.start({QStringLiteral("--app-id"), QStringLiteral("foot")}));
    TextInsertionChoice choice;
    const auto paste = WaylandTextInserter::forSession(choice, {});
    ASSERT_TRUE(paste);
    EXPECT_TRUE(insertAndWait(*paste, QStringLiteral("ls")).succeeded());
    EXPECT_TRUE(target.waitForLine(QStringLiteral("key Ctrl+Shift+V")))
        << target.lines().join(u'|').toStdString();
    EXPECT_FALSE(target.hasLine(QStringLiteral("key Ctrl+V")));
}

TEST(WaylandTextInserterTest, WithoutAKeyboardTheTextIsLeftOnTheClipboard) {
    TargetApp target;
    ASSERT_TRUE(target.start());
    ASSERT_TRUE(userCopiesInTarget(*userKeyboard, target));
    const auto paste = WaylandTextInserter::clipboardOnly({});
    ASSERT_TRUE(paste);
    // In privacy mode clipboard managers are asked not to keep it.
    EXPECT_EQ(insertAndWait(*paste, QStringLiteral("paste me"), {true, true}).failure,
              InsertionOutcome::Failure::LeftOnClipboard);
    const Formats expected{{QStringLiteral("text/plain"), "paste me"},
                           {QStringLiteral("text/plain;charset=utf-8"), "paste me"}};
    EXPECT_EQ(target.clipboardSettledTo(expected), expected);
    QProcess types;
    types.start(QStringLiteral("wl-paste"), {QStringLiteral("--list-types")});
    ASSERT_TRUE(types.waitForFinished(5000));
    EXPECT_TRUE(types.readAllStandardOutput().contains("x-kde-passwordManagerHint"));
    EXPECT_FALSE(
        target.waitFor([](const QString &line) { return line.startsWith(u"text "); }, 300));
}

} // namespace
