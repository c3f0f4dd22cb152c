// The paste sequence's rules, on a clipboard and a keystroke that write down what is done to
// them; the real clipboards and keystrokes, the terminal's Ctrl+Shift+V and the wait for the
// user's modifiers are tested against real servers.

#include "ClipboardPaste.h"
#include "PasteKeystroke.h"

#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace std::chrono_literals;
using Failure = InsertionOutcome::Failure;

namespace {

class FakeClipboard final : public ClipboardAccess {
public:
    explicit FakeClipboard(QStringList &journal)
        : m_journal(journal) {}
    std::optional<Formats> read(std::chrono::milliseconds) override {
        m_journal << "read";
        return content.isEmpty() ? Formats{} : Formats{{"text/plain", content}};
    }
    bool put(const Formats &formats) override {
        const QByteArray offered = formats.isEmpty() ? QByteArray() : formats.first().second;
        m_journal << "put " + offered;
        ours = refusedPuts-- <= 0;
        content = ours ? offered : QByteArray("theirs"); // another application was quicker
        return true;
    }
    bool holdsOwnOffer() override { return ours; }

    QByteArray content = "user";
    bool ours = false;
    int refusedPuts = 0;

private:
    QStringList &m_journal;
};

class FakeKeystroke final : public PasteKeystroke {
public:
    explicit FakeKeystroke(QStringList &journal)
        : m_journal(journal) {}
    bool send(bool withShift) override {
        m_journal << (withShift ? "send shift" : "send");
        if (afterSend)
            afterSend();
        return works;
    }
    bool modifierHeld() override { return false; }

    bool works = true;
    std::function<void()> afterSend;

private:
    QStringList &m_journal;
};

// How a case differs from a plain insert with every part working.
struct Arrangement {
    QByteArray userClipboard = "user";
    int refusedPuts = 0;        // offers another application takes over at once
    bool copyAfterSend = false; // another application copies right after the keystroke
    bool keystroke = true;
    bool keystrokeWorks = true;
    ClipboardPaste::WhenNotTyped whenNotTyped = ClipboardPaste::WhenNotTyped::RestoreClipboard;
    InsertionOptions options = {};
    QStringList texts = {"hi"};
    QString afterLastSend = {}; // inserted while the restore after the others is pending
};

struct Case {
    const char *name;
    const char *journal; // what was done to the clipboard and the keystroke, before "finished"
    QList<Failure> outcomes;
    Arrangement setup;
};

void PrintTo(const Case &c, std::ostream *out) {
    *out << c.name;
}

class ClipboardPasteTest : public ::testing::TestWithParam<Case> {};

TEST_P(ClipboardPasteTest, FollowsTheSequence) {
    const Case &test = GetParam();
    const Arrangement &c = test.setup;
    QStringList journal;
    QList<Failure> outcomes;
    auto clipboard = std::make_unique<FakeClipboard>(journal);
    clipboard->content = c.userClipboard;
    clipboard->refusedPuts = c.refusedPuts;
    FakeClipboard &clipboardRef = *clipboard;
    auto keystroke = c.keystroke ? std::make_unique<FakeKeystroke>(journal) : nullptr;
    FakeKeystroke *keys = keystroke.get();
    ClipboardPaste::Timing timing;
    timing.pasteDelay = 1ms;
    timing.restoreDelay = 30ms;
    ClipboardPaste paste(std::move(clipboard), std::move(keystroke), c.whenNotTyped, timing);
    if (keys) {
        keys->works = c.keystrokeWorks;
        keys->afterSend = [&, sends = 0]() mutable {
            if (c.copyAfterSend)
                clipboardRef.ours = false;
            if (++sends == c.texts.size() && !c.afterLastSend.isEmpty())
                QTimer::singleShot(5, &paste,
                                   [&] { paste.insert(c.afterLastSend, c.options, {}); });
        };
    }
    QObject::connect(&paste, &ClipboardPaste::finished, [&journal] { journal << "finished"; });
    for (const QString &text : c.texts)
        paste.insert(text, c.options,
                     [&outcomes](const InsertionOutcome &outcome) { outcomes << outcome.failure; });
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return journal.endsWith("finished") && outcomes.size() >= test.outcomes.size(); },
        5000))
        << journal.join(", ").toStdString();
    QTest::qWait(50); // nothing more happens
    EXPECT_EQ(journal.join(", "), test.journal + QStringLiteral(", finished"));
    EXPECT_EQ(outcomes, test.outcomes);
}

using WhenNotTyped = ClipboardPaste::WhenNotTyped;
const QList<Failure> typed = {Failure::None};

const Case cases[] = {
    {"TheUsersClipboardComesBack", "read, put hi, send, put user", typed, {}},
    {"AnEmptyClipboardIsEmptiedAgain", "read, put hi, send, put ", typed, {.userClipboard = {}}},
    {"WithoutRestoreTheTextStays", "put hi, send", typed, {.options = {false, false}}},
    {"ACopyMadeBeforeTheRestoreStays", "read, put hi, send", typed, {.copyAfterSend = true}},
    {"TwoTakenOffersAreMadeAgainAndTheNewClipboardIsTheOneRestored",
     "read, put hi, read, put hi, read, put hi, send, put theirs",
     typed,
     {.refusedPuts = 2}},
    {"AThirdTakenOfferGivesUp",
     "read, put hi, read, put hi, read, put hi",
     {Failure::ClipboardUnavailable},
     {.refusedPuts = 3}},
    {"AFailedKeystrokeGivesTheClipboardBack",
     "read, put hi, send, put user",
     {Failure::KeystrokeUnavailable},
     {.keystrokeWorks = false}},
    {"AFailedKeystrokeLeavesTheTextWhereTheSessionSaysSo",
     "read, put hi, send",
     {Failure::LeftOnClipboard},
     {.keystrokeWorks = false, .whenNotTyped = WhenNotTyped::LeaveText}},
    {"WithoutAKeystrokeTheTextIsLeftUnread",
     "put hi",
     {Failure::LeftOnClipboard},
     {.keystroke = false}},
    {"QuickInsertsKeepTheUsersClipboard",
     "read, put one, send, put two, send, put three, send, put user",
     {Failure::None, Failure::None},
     {.texts = {"one", "two"}, .afterLastSend = "three"}},
};

INSTANTIATE_TEST_SUITE_P(Scenarios, ClipboardPasteTest, ::testing::ValuesIn(cases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ClipboardPasteFormats, EveryFormatCarriesTheTextAndOnlyASensitiveOneAsksNotToKeepIt) {
    for (const bool sensitive : {false, true}) {
        bool hint = false;
        for (const auto &[name, bytes] : ClipboardPaste::textFormats("é", sensitive)) {
            hint = hint || (name == "x-kde-passwordManagerHint" && bytes == "secret");
            EXPECT_TRUE(name == "x-kde-passwordManagerHint" || bytes == "\xc3\xa9")
                << name.toStdString();
        }
        EXPECT_EQ(hint, sensitive);
    }
}

} // namespace
