// orvanta on an X server with orvanta-service's offline recogniser: one user's session in order.

#include "E2eFixture.h"
#include "Keybindings.h"
#include "PreferenceStore.h"
#include "Vocabulary.h"

#include <QDirIterator>

#include <signal.h>

using namespace orvanta;
using namespace orvanta::e2e;

namespace {

const QString email = QStringLiteral("dictation.e2e@example.com");
const QString sentence = QStringLiteral("Send the report today.");
// The recogniser chooses among these; the others keep it from accepting anything at all.
const QStringList expectedSentences{QStringLiteral("send the report today"),
                                    QStringLiteral("turn on the kitchen light"),
                                    QStringLiteral("please call me tomorrow")};
// What the user's rule makes of what the service writes for the speech.
const QString typedText = QStringLiteral("Send the report by Friday.");
// Fewer words a month than the first dictation has: the second one is refused.
constexpr int wordLimit = 3;

void writePreferences(const QString &configFile) {
    PreferenceStore store(configFile);
    Replacement day = Replacement::create();
    day.from = QStringLiteral("today");
    day.to = QStringLiteral("by Friday");
    Vocabulary(store).setReplacements({day});
    Keybindings(store).setActivate(Shortcut::doubleTap(ModifierKey::Control));
}

class EndToEnd : public SessionTest<> {
protected:
    static void SetUpTestSuite() {
        startSession(new DictationService(email, expectedSentences, wordLimit), writePreferences);
    }
};

// The service answers only the holder of a token it issued.
TEST_F(EndToEnd, SignsInOnTheServicePageAndDictatesFromTheCommandLine) {
    signIn();
    dictate(sentence, toggle, toggle);

    expectTyped(typedText, 1);
    EXPECT_TRUE(waitUntil([] {
        return PreferenceStore(app().configFile()).integer(QStringLiteral("wordsDictated")) ==
               typedText.split(u' ').size();
    })) << "the words dictated were not counted";
}

// A double press of Control starts, a single press stops; the service's refusal reaches the
// user and nothing is typed.
TEST_F(EndToEnd, TheShortcutMeetsTheWordLimit) {
    target().forget();
    const auto tapControl = [] { session->keyboard.tap("Control_L"); };
    dictate(
        sentence, [&] { tapControl(), tapControl(); }, tapControl);

    EXPECT_TRUE(waitUntil([] {
        const QString status = app().status().value_or(QString());
        return status.startsWith(QLatin1String("error: ")) &&
               status.contains(QString::number(wordLimit));
    }));
    EXPECT_TRUE(reaches(QStringLiteral("idle")));
    EXPECT_FALSE(target().lines().join(u'\n').contains(QLatin1String("text ")))
        << "something was typed";
    EXPECT_EQ(historyIn(app().historyFile()).size(), 1);
}

// Ended by a signal while recording, it unmutes and removes the recording (on SIGKILL at its next
// start), keeps its history and writes no token into its files. Asked to, it quits.
TEST_F(EndToEnd, AnInstanceEndedBySignalLeavesNothingBehind) {
    const auto outputMuteBecomes = [](const char *state) {
        const QStringList sink{QStringLiteral("get-sink-mute"), QStringLiteral("@DEFAULT_SINK@")};
        return waitUntil([&] {
            return runTool(QStringLiteral("pactl"), sink) ==
                   QStringLiteral("Mute: %1\n").arg(QLatin1String(state));
        });
    };
    const auto recordingsBecome = [](qsizetype count) {
        const QDir folder(app().file(QStringLiteral("runtime/orvanta")));
        return waitUntil([&] {
            return folder.entryList({QStringLiteral("orvanta-*.m4a")}, QDir::Files).size() == count;
        });
    };
    ASSERT_TRUE(outputMuteBecomes("no"));
    for (const int signal : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal == SIGTERM ? "SIGTERM" : "SIGKILL");
        runOk(QStringLiteral("--start"));
        ASSERT_TRUE(reaches(QStringLiteral("recording")));
        // The sound server mutes and the file appears a moment after the status changed.
        EXPECT_TRUE(outputMuteBecomes("yes"));
        EXPECT_TRUE(recordingsBecome(1));

        ASSERT_GT(app().pid(), 0) << "kill(0) would signal the whole process group";
        ASSERT_EQ(::kill(pid_t(app().pid()), signal), 0);
        EXPECT_TRUE(waitUntil([] { return !app().isRunning(); }));
        EXPECT_TRUE(outputMuteBecomes(signal == SIGTERM ? "no" : "yes"));
        EXPECT_TRUE(recordingsBecome(signal == SIGTERM ? 0 : 1));
        ASSERT_TRUE(app().launch());
        EXPECT_TRUE(outputMuteBecomes("no"));
        EXPECT_TRUE(recordingsBecome(0));
        EXPECT_EQ(historyIn(app().historyFile()).size(), 1);
    }

    const QByteArray tokens[] = {test::storedSecret(QStringLiteral("auth-access-token")),
                                 test::storedSecret(QStringLiteral("auth-refresh-token"))};
    ASSERT_FALSE(tokens[0].isEmpty() || tokens[1].isEmpty());
    for (QDirIterator files(app().file(QString()), QDir::Files | QDir::Hidden,
                            QDirIterator::Subdirectories);
         files.hasNext();) {
        QFile file(files.next());
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        EXPECT_FALSE(bytes.contains(tokens[0]) || bytes.contains(tokens[1]))
            << file.fileName().toStdString();
    }

    EXPECT_EQ(app().quit(), 0);
    EXPECT_EQ(app().run({QStringLiteral("--status")}).exitCode, 1);
}

} // namespace
