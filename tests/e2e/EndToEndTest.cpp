// The whole product at work: the real orvanta executable on an X server, with a sound server
// whose microphone hears espeak-ng speech, a Secret Service and the test service. The user
// signs in through the browser, dictates from the command line, meets a refusal of the
// service with the shortcut, and ends the instance. The cases run in order, as one user's
// session.

#include "Auth.h"
#include "E2eFixture.h"
#include "Keybindings.h"
#include "LoginItem.h"
#include "PreferenceStore.h"
#include "Settings.h"
#include "Vocabulary.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <signal.h>

using namespace orvanta;
using namespace orvanta::e2e;

namespace {

const QString email = QStringLiteral("dictation.e2e@example.com");
const QString sentence = QStringLiteral("Please send the quarterly report to Jon by Friday.");
const QString model = Settings::modelOptions().last();
const QString language = QStringLiteral("de");
const DictationMode mode = DictationMode::Verbatim;
const QStringList terms{QStringLiteral("Talvo"), QStringLiteral("Jonathan")};
const QString instructions = QStringLiteral("Keep my punctuation.");
// What the service makes of the speech, and what the user's replacement makes of that.
const QString serviceText = QStringLiteral("  Please send the Orvanta report to Jon by friday \n");
const QString typedText = QStringLiteral("Please send the Talvo report to Jon by friday");
const QString refusal = QStringLiteral("Monthly word limit reached. Upgrade to keep dictating.");

// The user's preferences, written before the application starts, as the settings window
// would write them.
void writePreferences(const QString &configFile) {
    PreferenceStore store(configFile);
    LoginItem loginItem(QFileInfo(configFile).dir().filePath(QStringLiteral("autostart")),
                        QStringLiteral("orvanta"));
    Settings settings(store, loginItem);
    settings.setModel(model);
    settings.setLanguage(language);
    settings.setDictationMode(mode);
    Vocabulary vocabulary(store);
    vocabulary.setTerms(terms);
    vocabulary.setInstructions(instructions);
    Replacement product = Replacement::create();
    product.from = QStringLiteral("orvanta");
    product.to = QStringLiteral("Talvo");
    vocabulary.setReplacements({product});
    Keybindings(store).setActivate(Shortcut::doubleTap(ModifierKey::Control));
}

class EndToEnd : public SessionTest<> {
protected:
    static void SetUpTestSuite() { startSession(writePreferences, email); }

    static QString storedAccessToken() {
        return storedSecret(QStringLiteral("auth-access-token")).value_or(QString());
    }
};

TEST_F(EndToEnd, SignsInThroughTheBrowser) {
    signIn();
    EXPECT_TRUE(
        waitUntil([] { return Auth::emailFromJWT(storedAccessToken()) == email; }, patience))
        << "the Secret Service holds no access token for " << email.toStdString();
}

TEST_F(EndToEnd, DictatesFromTheCommandLine) {
    ASSERT_TRUE(service().command(QStringLiteral("transcript ") + serviceText));

    const double spokenSeconds = dictate(sentence, toggle, toggle);

    expectTyped(typedText, 1);
    const QList<QByteArray> requests = service().requests(QStringLiteral("/transcribe"));
    ASSERT_EQ(requests.size(), 1);
    const QJsonObject body = QJsonDocument::fromJson(requests.first()).object();
    // The preferences the user set reach the service.
    for (const auto &[key, value] : {std::pair{"model", model},
                                     {"language", language},
                                     {"mode", rawValue(mode)},
                                     {"instructions", instructions}})
        EXPECT_EQ(body.value(QLatin1String(key)).toString(), value) << key;
    EXPECT_EQ(body.value(QStringLiteral("dictionary")).toArray(),
              QJsonArray::fromStringList(terms));
    const std::optional<AudioFacts> audio = inspectAudio(
        QByteArray::fromBase64(body.value(QStringLiteral("audio_base64")).toString().toLatin1()));
    ASSERT_TRUE(audio) << "the recording does not decode";
    // The microphone was live before the speech began, so all of it is in the recording.
    EXPECT_GT(audio->seconds, spokenSeconds - 0.4);
    EXPECT_GT(audio->maxVolumeDb, -35) << "no speech in the recording";
    EXPECT_TRUE(service().waitForRequests(QStringLiteral("/me"), 1, patience))
        << "the usage figures were not fetched after the transcript";
}

// A double press of Control starts, a single press stops.
TEST_F(EndToEnd, TheShortcutMeetsAServiceRefusal) {
    ASSERT_TRUE(service().command(QStringLiteral("refuse 402 ") + refusal));
    target().forget();
    const qsizetype dictations = historyIn(app().historyFile()).size();
    const auto tapControl = [] { session->keyboard.tap("Control_L"); };

    dictate(
        sentence,
        [&] {
            tapControl();
            tapControl();
        },
        tapControl);

    EXPECT_TRUE(app().waitForStatus(signedIn(QStringLiteral("error: ") + refusal), patience));
    EXPECT_TRUE(app().waitForStatus(signedIn(QStringLiteral("idle")), patience));
    EXPECT_FALSE(target().lines().join(u'\n').contains(QLatin1String("text ")))
        << "something was typed";
    EXPECT_EQ(historyIn(app().historyFile()).size(), dictations);
}

// Ended by a signal while recording, the instance (at once, or at its next start after it was
// killed) leaves the output unmuted and no recording behind, keeps its history and writes no
// token into any of its files.
TEST_F(EndToEnd, AnInstanceEndedBySignalLeavesNothingBehind) {
    const auto outputMute = [] {
        return runTool(QStringLiteral("pactl"),
                       {QStringLiteral("get-sink-mute"), QStringLiteral("@DEFAULT_SINK@")})
            .value_or(QString())
            .trimmed();
    };
    const QDir recordings(app().runtimeDirectory() + QStringLiteral("/orvanta"));
    const auto leftRecordings = [&recordings] {
        return recordings.entryList({QStringLiteral("orvanta-*.m4a")}, QDir::Files);
    };
    const struct {
        const char *name;
        int signal;
    } endings[] = {{"SIGTERM", SIGTERM}, {"SIGKILL", SIGKILL}};
    for (const auto &ending : endings) {
        SCOPED_TRACE(ending.name);
        ASSERT_TRUE(waitUntil([&] { return outputMute() == u"Mute: no"; }, patience));
        const qsizetype dictations = historyIn(app().historyFile()).size();
        runOk({QStringLiteral("--start")});
        ASSERT_TRUE(app().waitForStatus(signedIn(QStringLiteral("recording")), patience));
        // The sound server mutes and the file appears a moment after the status changed.
        EXPECT_TRUE(waitUntil([&] { return outputMute() == u"Mute: yes"; }, patience));
        EXPECT_TRUE(waitUntil([&] { return leftRecordings().size() == 1; }, patience));

        ASSERT_GT(app().pid(), 0) << "kill(0) would signal the whole process group";
        ASSERT_EQ(::kill(pid_t(app().pid()), ending.signal), 0);
        EXPECT_TRUE(waitUntil([] { return !app().isRunning(); }, patience));
        if (ending.signal == SIGKILL) { // the next start cleans up
            EXPECT_EQ(outputMute(), QStringLiteral("Mute: yes"));
        }
        ASSERT_TRUE(app().launch());
        EXPECT_TRUE(waitUntil([&] { return outputMute() == u"Mute: no"; }, patience));
        EXPECT_TRUE(waitUntil([&] { return leftRecordings().isEmpty(); }, patience))
            << leftRecordings().join(u' ').toStdString();
        EXPECT_EQ(historyIn(app().historyFile()).size(), dictations);
    }

    const QStringList tokens{
        storedAccessToken(),
        storedSecret(QStringLiteral("auth-refresh-token")).value_or(QString())};
    ASSERT_FALSE(tokens.contains(QString()));
    QDirIterator files(QFileInfo(app().runtimeDirectory()).path(), QDir::Files | QDir::Hidden,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.readAll();
        for (const QString &token : tokens)
            EXPECT_FALSE(bytes.contains(token.toUtf8()))
                << "a token in " << file.fileName().toStdString();
    }
}

TEST_F(EndToEnd, QuitsWhenAsked) {
    EXPECT_EQ(app().quit(), 0);
    EXPECT_FALSE(app().isRunning());
    EXPECT_EQ(app().run({QStringLiteral("--status")}).exitCode, 1);
}

} // namespace
