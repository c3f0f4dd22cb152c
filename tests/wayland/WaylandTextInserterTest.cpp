#include "WaylandTextInserter.h"
#include "WaylandProbe.h"
#include "WaylandTestSupport.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;
using namespace orvanta::wayland;

extern WaylandUserKeyboard *userKeyboard;

namespace {

using Formats = QHash<QString, QByteArray>;

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
    EXPECT_TRUE(pastes(*paste, target, "héllo wörld", "héllo wörld", before));
    EXPECT_TRUE(target.hasLine(QStringLiteral("key Ctrl+V")));
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
    EXPECT_EQ(insertAndWait(*paste, QStringLiteral("paste me")).failure,
              InsertionOutcome::Failure::LeftOnClipboard);
    const Formats expected{{QStringLiteral("text/plain"), "paste me"},
                           {QStringLiteral("text/plain;charset=utf-8"), "paste me"}};
    EXPECT_EQ(target.clipboardSettledTo(expected), expected);
    EXPECT_FALSE(
        target.waitFor([](const QString &line) { return line.startsWith(u"text "); }, 300));
}

} // namespace
