// The paste sequence's rules, on a clipboard and keystroke that write down what is done to them.

#include "ClipboardPaste.h"
#include "PasteKeystroke.h"

#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace std::chrono_literals;
using Failure = InsertionOutcome::Failure;

namespace {

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

// The clipboard as a case arranges it, writing down what is done to it: an offer's first
// format, and the hint to clipboard managers when the offer carries it.
class FakeClipboard final : public ClipboardAccess {
public:
    FakeClipboard(QStringList &journal, const Arrangement &c)
        : content(c.userClipboard)
        , m_refusedPuts(c.refusedPuts)
        , m_journal(journal) {}
    std::optional<Formats> read(std::chrono::milliseconds) override {
        m_journal << "read";
        return content.isEmpty() ? Formats{} : Formats{{"text/plain", content}};
    }
    bool put(const Formats &formats) override {
        const QByteArray offered = formats.isEmpty() ? QByteArray() : formats.first().second;
        QString entry = "put " + offered;
        for (const auto &[name, bytes] : formats) {
            if (name == "x-kde-passwordManagerHint")
                entry += " " + bytes;
            else // every format carries the text
                EXPECT_EQ(bytes, offered) << name.toStdString();
        }
        m_journal << entry;
        ours = m_refusedPuts-- <= 0;
        content = ours ? offered : QByteArray("theirs"); // another application was quicker
        return true;
    }
    bool holdsOwnOffer() override { return ours; }

    QByteArray content;
    bool ours = false;

private:
    int m_refusedPuts;
    QStringList &m_journal;
};

class FakeKeystroke final : public PasteKeystroke {
public:
    explicit FakeKeystroke(std::function<bool()> send)
        : m_send(std::move(send)) {}
    bool send(bool) override { return m_send(); }

private:
    std::function<bool()> m_send;
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
    auto clipboard = std::make_unique<FakeClipboard>(journal, c);
    FakeClipboard &clipboardRef = *clipboard;
    std::unique_ptr<ClipboardPaste> paste;
    auto keystroke = std::make_unique<FakeKeystroke>([&, sends = 0]() mutable {
        journal << "send";
        if (c.copyAfterSend)
            clipboardRef.ours = false;
        if (++sends == c.texts.size() && !c.afterLastSend.isEmpty())
            QTimer::singleShot(5, paste.get(),
                               [&] { paste->insert(c.afterLastSend, c.options, {}); });
        return c.keystrokeWorks;
    });
    paste = std::make_unique<ClipboardPaste>(
        std::move(clipboard), c.keystroke ? std::move(keystroke) : nullptr, c.whenNotTyped,
        ClipboardPaste::Timing{.pasteDelay = 1ms, .restoreDelay = 30ms});
    QObject::connect(paste.get(), &ClipboardPaste::finished, [&journal] { journal << "finished"; });
    for (const QString &text : c.texts)
        paste->insert(text, c.options, [&outcomes](const InsertionOutcome &outcome) {
            outcomes << outcome.failure;
        });
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return journal.endsWith("finished") && outcomes.size() >= test.outcomes.size();
    })) << journal.join(", ").toStdString();
    QTest::qWait(50); // nothing more happens
    EXPECT_EQ(journal.join(", "), test.journal + QStringLiteral(", finished"));
    EXPECT_EQ(outcomes, test.outcomes);
}

using WhenNotTyped = ClipboardPaste::WhenNotTyped;
const QList<Failure> typed = {Failure::None};

const Case cases[] = {
    {"WithoutRestoreTheTextStays", "put hi, send", typed, {.options = {false, false}}},
    {"ASensitiveTextAsksClipboardManagersNotToKeepIt",
     "read, put hé secret, send, put user",
     typed,
     {.options = {true, true}, .texts = {"hé"}}},
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

} // namespace
