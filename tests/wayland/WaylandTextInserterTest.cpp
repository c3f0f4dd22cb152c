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

Formats restorable(const Formats &formats) {
    Formats kept;
    for (auto it = formats.cbegin(); it != formats.cend(); ++it) {
        if (ClipboardAccess::isRestorableFormat(it.key()))
            kept.insert(it.key(), it.value());
    }
    return kept;
}

// Paste through the compositor of the test session, as the application wires it, or with
// the clipboard alone.
class Session {
public:
    enum class Keystroke { AsTheSessionOffers, None };

    explicit Session(Keystroke keystroke = Keystroke::AsTheSessionOffers) {
        inserter = keystroke == Keystroke::AsTheSessionOffers
                       ? WaylandTextInserter::forSession(choice, {})
                       : WaylandTextInserter::clipboardOnly({});
        if (inserter)
            finished = std::make_unique<QSignalSpy>(inserter.get(), &ClipboardPaste::finished);
    }
    // Waits for the next insert to finish.
    bool waitForFinished() {
        const qsizetype seen = m_finishedSeen++;
        return QTest::qWaitFor([&] { return finished->size() > seen; }, 10000);
    }

    TextInsertionChoice choice;
    std::unique_ptr<ClipboardPaste> inserter;
    std::unique_ptr<QSignalSpy> finished;

private:
    qsizetype m_finishedSeen = 0;
};

// The target's clipboard once it equals `expected`, or as it is after a generous wait: a
// reader learns of a new selection by an event that may trail the change.
Formats settledClipboard(TargetApp &target, const Formats &expected) {
    Formats seen;
    [[maybe_unused]] const bool settled = QTest::qWaitFor(
        [&] {
            seen = restorable(target.dumpClipboard());
            return seen == expected;
        },
        5000);
    return seen;
}

TEST(WaylandTextInserterTest, TextArrivesInANativeWindowAndTheClipboardComesBack) {
    TargetApp target;
    ASSERT_TRUE(target.start());
    ASSERT_TRUE(userCopiesInTarget(*userKeyboard, target));
    const Formats before = restorable(target.dumpClipboard());
    ASSERT_TRUE(before.contains(QStringLiteral("image/png")));
    ASSERT_TRUE(before.contains(QStringLiteral("text/html")));

    Session session;
    EXPECT_EQ(session.choice.mechanism, TextInsertionMechanism::WaylandTyped);
    ASSERT_TRUE(session.inserter) << session.choice.reason.toStdString();
    QList<InsertionOutcome> outcomes;
    const auto keep = [&outcomes](const InsertionOutcome &outcome) { outcomes.append(outcome); };
    session.inserter->insert(QStringLiteral("héllo wörld"), {}, keep);
    EXPECT_TRUE(target.waitForLine(QStringLiteral("text héllo wörld")))
        << target.lines().join(u'|').toStdString();
    ASSERT_TRUE(session.waitForFinished());
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcomes.size() == 1; }, 5000));
    EXPECT_TRUE(outcomes.first().succeeded());
    EXPECT_TRUE(target.hasLine(QStringLiteral("key Ctrl+V")));
    EXPECT_EQ(settledClipboard(target, before), before);

    // Two quick dictations: the clipboard restored after the last is still the user's.
    target.forget();
    session.inserter->insert(QStringLiteral(" one"), {}, keep);
    session.inserter->insert(QStringLiteral(" two"), {}, keep);
    EXPECT_TRUE(target.waitForLine(QStringLiteral("text héllo wörld one two")))
        << target.lines().join(u'|').toStdString();
    ASSERT_TRUE(session.waitForFinished());
    EXPECT_EQ(settledClipboard(target, before), before);
}

TEST(WaylandTextInserterTest, TerminalsGetCtrlShiftV) {
    if (qEnvironmentVariableIsEmpty("SWAYSOCK"))
        GTEST_SKIP() << "this compositor does not tell which application has the focus";
    TargetApp target;
    ASSERT_TRUE(target.start({QStringLiteral("--app-id"), QStringLiteral("foot")}));
    Session session;
    ASSERT_TRUE(session.inserter);
    session.inserter->insert(QStringLiteral("ls"), {}, {});
    EXPECT_TRUE(target.waitForLine(QStringLiteral("key Ctrl+Shift+V")))
        << target.lines().join(u'|').toStdString();
    EXPECT_FALSE(target.hasLine(QStringLiteral("key Ctrl+V")));
    ASSERT_TRUE(session.waitForFinished());
}

TEST(WaylandTextInserterTest, WithoutAKeyboardTheTextIsLeftOnTheClipboard) {
    TargetApp target;
    ASSERT_TRUE(target.start());
    ASSERT_TRUE(userCopiesInTarget(*userKeyboard, target));
    Session session(Session::Keystroke::None);
    ASSERT_TRUE(session.inserter);
    std::optional<InsertionOutcome> outcome;
    // In privacy mode clipboard managers are asked not to keep it.
    session.inserter->insert(QStringLiteral("paste me"), {true, true},
                             [&outcome](const InsertionOutcome &done) { outcome = done; });
    ASSERT_TRUE(session.waitForFinished());
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 5000));
    EXPECT_EQ(outcome->failure, InsertionOutcome::Failure::LeftOnClipboard);
    const Formats expected{{QStringLiteral("text/plain"), "paste me"},
                           {QStringLiteral("text/plain;charset=utf-8"), "paste me"}};
    EXPECT_EQ(settledClipboard(target, expected), expected);
    QProcess types;
    types.start(QStringLiteral("wl-paste"), {QStringLiteral("--list-types")});
    ASSERT_TRUE(types.waitForFinished(5000));
    EXPECT_TRUE(types.readAllStandardOutput().contains("x-kde-passwordManagerHint"));
    EXPECT_FALSE(
        target.waitFor([](const QString &line) { return line.startsWith(u"text "); }, 300));
}

} // namespace
