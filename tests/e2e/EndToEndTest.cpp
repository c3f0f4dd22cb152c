// The whole product at work: the real orvanta executable on an X server, with a sound server
// whose microphone hears espeak-ng speech, a Secret Service and the test service. The user
// signs in through the browser, dictates from the command line and with the shortcut, and
// meets a refusal of the service. The cases run in order, as one user's session.

#include "Auth.h"
#include "E2eSupport.h"
#include "History.h"
#include "Keybindings.h"
#include "LoginItem.h"
#include "PreferenceStore.h"
#include "Settings.h"
#include "Vocabulary.h"
#include "X11TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

#include <signal.h>

using namespace orvanta;
using namespace orvanta::e2e;
using namespace std::chrono_literals;

namespace {

const QString email = QStringLiteral("dictation.e2e@example.com");
const QString sentence = QStringLiteral("Please send the quarterly report to Jon by Friday.");
// What the service makes of the speech, and what the user's rules make of that.
const QString serviceText = QStringLiteral("  Please send the Orvanta report to Jon by friday \n");
const QString typedText = QStringLiteral("Please send the Talvo report to Jonathan by friday");
const QString secondServiceText = QStringLiteral("orvanta notes for JON");
const QString secondTypedText = QStringLiteral("Talvo notes for JON");
const QString refusal = QStringLiteral("Monthly word limit reached. Upgrade to keep dictating.");

QString signedIn(const QString &status) {
    return status + QStringLiteral("\tsigned-in");
}

// The user's preferences, written before the application starts, as the settings window
// would write them.
void writePreferences(const QString &configFile) {
    PreferenceStore store(configFile);
    LoginItem loginItem(QFileInfo(configFile).dir().filePath(QStringLiteral("autostart")),
                        QStringLiteral("orvanta"));
    Settings settings(store, loginItem);
    settings.setModel(Settings::modelOptions().last());
    settings.setLanguage(QStringLiteral("de"));
    settings.setDictationMode(DictationMode::Verbatim);

    Vocabulary vocabulary(store);
    vocabulary.setTerms({QStringLiteral("Talvo"), QStringLiteral("Jonathan")});
    vocabulary.setInstructions(QStringLiteral("Keep my punctuation."));
    Replacement product = Replacement::create();
    product.from = QStringLiteral("orvanta");
    product.to = QStringLiteral("Talvo");
    Replacement name = Replacement::create();
    name.from = QStringLiteral("Jon");
    name.to = QStringLiteral("Jonathan");
    name.caseSensitive = true;
    Replacement day = Replacement::create();
    day.from = QStringLiteral("Friday");
    day.to = QStringLiteral("FRIDAY");
    day.caseSensitive = true;
    vocabulary.setReplacements({product, name, day});

    Keybindings keybindings(store);
    keybindings.setActivate(Shortcut::doubleTap(ModifierKey::Control));
}

class EndToEnd : public ::testing::Test {
protected:
    // One session for all cases: the processes outlive each case.
    using Session = DictationSession<ServiceProcess>;
    static inline Session *session = nullptr;
    static inline const char *setupFailure = nullptr;

    static void SetUpTestSuite() {
        session = new Session(email);
        setupFailure = session->start(writePreferences);
    }

    static void TearDownTestSuite() {
        delete session;
        session = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(session->app) << "the session did not start: " << setupFailure;
        ASSERT_TRUE(session->app->isRunning());
    }

    OrvantaProcess &app() { return *session->app; }
    ServiceProcess &service() { return session->service; }
    test::TargetApp &target() { return session->target; }

    void runOk(const QStringList &arguments) {
        const OrvantaProcess::Outcome outcome = app().run(arguments);
        EXPECT_EQ(outcome.exitCode, 0)
            << arguments.join(u' ').toStdString() << ": " << outcome.errors.toStdString();
    }

    struct Recording {
        double spokenSeconds = 0; // the speech played while recording
        qint64 longestMs = 0;     // from the start asked for to the stop answered
    };

    // Dictates `sentence`, starting and stopping with the given actions.
    Recording dictate(const std::function<void()> &start, const std::function<void()> &stop) {
        QElapsedTimer clock;
        clock.start();
        start();
        EXPECT_TRUE(app().waitForStatus(signedIn(QStringLiteral("recording")), 20s));
        const std::optional<double> spoken = session->microphone.speak(sentence);
        EXPECT_TRUE(spoken) << "the speech did not play";
        stop();
        return {spoken.value_or(0), clock.elapsed()};
    }

    void toggle() { runOk({QStringLiteral("--toggle")}); }

    // An empty field, and no line of what it received before.
    void clearTarget() {
        ASSERT_TRUE(target().command(QStringLiteral("clear-field")));
        target().forget();
    }

    void doubleTapControl() {
        session->keyboard.tap("Control_L");
        session->keyboard.tap("Control_L");
    }

    QJsonObject lastTranscribeBody() {
        const QList<QJsonObject> requests = service().requests(QStringLiteral("/transcribe"));
        if (requests.isEmpty())
            return {};
        const QByteArray body = QByteArray::fromBase64(
            requests.last().value(QStringLiteral("body")).toString().toLatin1());
        return QJsonDocument::fromJson(body).object();
    }

    // The formats a user's data comes in. The X protocol's own targets (TARGETS, …) and Qt's
    // private image format depend on who owns the clipboard, not on its content.
    QHash<QString, QByteArray> clipboardContent() {
        QHash<QString, QByteArray> content = target().dumpClipboard();
        content.removeIf([](const auto &entry) {
            return !entry.key().contains(u'/') || entry.key() == u"application/x-qt-image";
        });
        return content;
    }

    void expectClipboardRestored(const QHash<QString, QByteArray> &original) {
        QHash<QString, QByteArray> now;
        EXPECT_TRUE(waitUntil(
            [&] {
                now = clipboardContent();
                return now == original;
            },
            10s))
            << "the clipboard was not given back: it holds "
            << QStringList(now.keyBegin(), now.keyEnd()).join(u' ').toStdString() << " with text \""
            << now.value(QStringLiteral("text/plain")).toStdString() << "\" instead of "
            << QStringList(original.keyBegin(), original.keyEnd()).join(u' ').toStdString();
    }
};

TEST_F(EndToEnd, SignsInThroughTheBrowser) {
    EXPECT_EQ(app().status(), QStringLiteral("idle\tsigned-out"));

    runOk({QStringLiteral("--sign-in")});

    ASSERT_TRUE(app().waitForStatus(signedIn(QStringLiteral("idle")), 30s));
    EXPECT_EQ(app().browserVisits(), QStringList{service().baseUrl() + QStringLiteral("/signin")});
    const std::optional<QString> access = storedSecret(QStringLiteral("auth-access-token"));
    ASSERT_TRUE(access);
    EXPECT_EQ(Auth::emailFromJWT(*access), email);
    const std::optional<QString> refresh = storedSecret(QStringLiteral("auth-refresh-token"));
    ASSERT_TRUE(refresh);
    EXPECT_TRUE(refresh->startsWith(QLatin1String("refresh-")));
}

TEST_F(EndToEnd, DictatesFromTheCommandLine) {
    ASSERT_TRUE(service().command(QStringLiteral("transcript ") + serviceText));
    ASSERT_TRUE(target().command(QStringLiteral("set-clipboard")));
    const QHash<QString, QByteArray> clipboard = clipboardContent();
    ASSERT_TRUE(clipboard.contains(QStringLiteral("image/png")));

    const Recording recording = dictate([this] { toggle(); }, [this] { toggle(); });

    EXPECT_TRUE(target().waitForLine(QStringLiteral("text ") + typedText, 30000));
    ASSERT_EQ(service().requests(QStringLiteral("/transcribe")).size(), 1);
    const QJsonObject request = service().requests(QStringLiteral("/transcribe")).last();
    EXPECT_EQ(request.value(QStringLiteral("method")).toString(), QStringLiteral("POST"));
    EXPECT_EQ(request.value(QStringLiteral("contentType")).toString(),
              QStringLiteral("application/json"));
    EXPECT_EQ(request.value(QStringLiteral("authorization")).toString(),
              QStringLiteral("Bearer ") +
                  storedSecret(QStringLiteral("auth-access-token")).value_or(QString()));

    const QJsonObject body = lastTranscribeBody();
    EXPECT_EQ(body.keys().size(), 7) << QJsonDocument(body).toJson().left(300).toStdString();
    EXPECT_EQ(body.value(QStringLiteral("format")).toString(), QStringLiteral("m4a"));
    EXPECT_EQ(body.value(QStringLiteral("model")).toString(), Settings::modelOptions().last());
    EXPECT_EQ(body.value(QStringLiteral("language")).toString(), QStringLiteral("de"));
    EXPECT_EQ(body.value(QStringLiteral("mode")).toString(), QStringLiteral("verbatim"));
    EXPECT_EQ(body.value(QStringLiteral("dictionary")).toArray(),
              QJsonArray({QStringLiteral("Talvo"), QStringLiteral("Jonathan")}));
    EXPECT_EQ(body.value(QStringLiteral("instructions")).toString(),
              QStringLiteral("Keep my punctuation."));

    const auto audio = QByteArray::fromBase64Encoding(
        body.value(QStringLiteral("audio_base64")).toString().toLatin1(),
        QByteArray::AbortOnBase64DecodingErrors);
    ASSERT_TRUE(audio);
    const std::optional<AudioFacts> facts = inspectAudio(*audio);
    ASSERT_TRUE(facts) << "the recording does not decode";
    EXPECT_EQ(facts->codec, QStringLiteral("aac"));
    // The null sink's monitor delivers from the first sound played into it on, so the
    // recording lasts at least as long as the speech and at most as long as the dictation.
    EXPECT_GT(facts->seconds, recording.spokenSeconds - 0.4);
    EXPECT_LT(facts->seconds, recording.longestMs / 1000.0 + 0.3);
    EXPECT_GT(facts->maxVolumeDb, -35) << "no speech in the recording";

    expectClipboardRestored(clipboard);
    EXPECT_TRUE(app().waitForStatus(signedIn(QStringLiteral("idle")), 10s));
    const QList<HistoryItem> history = historyIn(app().historyFile());
    ASSERT_EQ(history.size(), 1);
    EXPECT_EQ(history.first().text, typedText);
    EXPECT_EQ(history.first().mode, label(DictationMode::Verbatim));
    EXPECT_EQ(wordsDictatedIn(app().configFile()), wordCount(typedText));
    // The usage figures are fetched after each transcript.
    EXPECT_TRUE(service().waitForRequests(QStringLiteral("/me"), 1, 10s));
}

TEST_F(EndToEnd, DictatesWithTheShortcut) {
    ASSERT_TRUE(service().command(QStringLiteral("transcript ") + secondServiceText));
    clearTarget();
    ASSERT_TRUE(target().command(QStringLiteral("set-clipboard-text what the user copied")));
    const QHash<QString, QByteArray> clipboard = clipboardContent();
    const qsizetype sent = service().requests(QStringLiteral("/transcribe")).size();

    // A double press of Control starts; while recording, a single press stops.
    dictate([this] { doubleTapControl(); }, [] { session->keyboard.tap("Control_L"); });

    EXPECT_TRUE(target().waitForLine(QStringLiteral("text ") + secondTypedText, 30000));
    EXPECT_EQ(service().requests(QStringLiteral("/transcribe")).size(), sent + 1);
    expectClipboardRestored(clipboard);
    EXPECT_TRUE(app().waitForStatus(signedIn(QStringLiteral("idle")), 10s));
    const QList<HistoryItem> history = historyIn(app().historyFile());
    ASSERT_EQ(history.size(), 2);
    EXPECT_EQ(history.first().text, secondTypedText);
    EXPECT_EQ(wordsDictatedIn(app().configFile()),
              wordCount(typedText) + wordCount(secondTypedText));
}

TEST_F(EndToEnd, RenewsARejectedAccessToken) {
    ASSERT_TRUE(service().command(QStringLiteral("expire-access-token")));
    ASSERT_TRUE(service().command(QStringLiteral("transcript ") + secondServiceText));
    clearTarget();
    const std::optional<QString> oldRefresh = storedSecret(QStringLiteral("auth-refresh-token"));
    const qsizetype sent = service().requests(QStringLiteral("/transcribe")).size();

    dictate([this] { toggle(); }, [this] { toggle(); });

    EXPECT_TRUE(target().waitForLine(QStringLiteral("text ") + secondTypedText, 30000));
    const QList<QJsonObject> renewals = service().requests(QStringLiteral("/auth/refresh"));
    ASSERT_EQ(renewals.size(), 1);
    const QJsonObject renewal =
        QJsonDocument::fromJson(
            QByteArray::fromBase64(
                renewals.first().value(QStringLiteral("body")).toString().toLatin1()))
            .object();
    EXPECT_EQ(renewal.value(QStringLiteral("refresh_token")).toString(), oldRefresh);
    // The refused request and the same body again with the new token.
    const QList<QJsonObject> transcribes = service().requests(QStringLiteral("/transcribe"));
    ASSERT_EQ(transcribes.size(), sent + 2);
    EXPECT_EQ(transcribes[sent].value(QStringLiteral("body")),
              transcribes[sent + 1].value(QStringLiteral("body")));
    EXPECT_EQ(transcribes[sent + 1].value(QStringLiteral("authorization")).toString(),
              QStringLiteral("Bearer ") +
                  storedSecret(QStringLiteral("auth-access-token")).value_or(QString()));
    EXPECT_NE(storedSecret(QStringLiteral("auth-refresh-token")), oldRefresh);
    EXPECT_TRUE(app().waitForStatus(signedIn(QStringLiteral("idle")), 10s));
}

TEST_F(EndToEnd, ShowsTheServiceRefusalUntilItClears) {
    ASSERT_TRUE(service().command(QStringLiteral("refuse 402 ") + refusal));
    clearTarget();
    const qsizetype historyBefore = historyIn(app().historyFile()).size();
    const qint64 wordsBefore = wordsDictatedIn(app().configFile());

    QElapsedTimer sinceStop;
    dictate([this] { toggle(); },
            [this, &sinceStop] {
                sinceStop.start();
                toggle();
            });

    const QString error = signedIn(QStringLiteral("error: ") + refusal);
    ASSERT_TRUE(app().waitForStatus(error, 30s));
    const qint64 errorSeen = sinceStop.elapsed();
    ASSERT_TRUE(app().waitForStatus(signedIn(QStringLiteral("idle")), 20s));
    const qint64 idleSeen = sinceStop.elapsed();
    // The error was set after the stop and lasts 4 s; polling adds a little on top.
    EXPECT_GE(idleSeen, 4000);
    EXPECT_LE(idleSeen - errorSeen, 4000 + 3000);

    EXPECT_FALSE(target().waitFor(
        [](const QString &line) { return line.startsWith(QLatin1String("text ")); }, 100))
        << "something was pasted";
    EXPECT_EQ(historyIn(app().historyFile()).size(), historyBefore);
    EXPECT_EQ(wordsDictatedIn(app().configFile()), wordsBefore);
}

// A termination signal (logout, kill) while recording ends the instance as Quit does: the
// output it muted is unmuted and the partial recording is gone.
// Ended by a signal while recording or while the service works on the recording, the
// instance (at once, or at the next start after a crash) leaves the output unmuted and no
// recording behind, loses nothing stored and writes no token into any of its files.
TEST_F(EndToEnd, AnInstanceEndedBySignalLeavesNothingBehind) {
    const auto outputMute = [] {
        QProcess pactl;
        pactl.start(QStringLiteral("pactl"),
                    {QStringLiteral("get-sink-mute"), QStringLiteral("@DEFAULT_SINK@")});
        pactl.waitForFinished(10000);
        return QString::fromUtf8(pactl.readAllStandardOutput()).trimmed();
    };
    const QDir recordings(app().runtimeDirectory() + QStringLiteral("/orvanta"));
    const auto leftRecordings = [&recordings] {
        return recordings.entryList({QStringLiteral("orvanta-*.m4a")}, QDir::Files);
    };
    const QStringList tokens = {
        storedSecret(QStringLiteral("auth-access-token")).value_or(QStringLiteral("?")),
        storedSecret(QStringLiteral("auth-refresh-token")).value_or(QStringLiteral("?"))};
    const struct {
        const char *when;
        int signal;
        bool transcribing;
    } cases[] = {{"SIGTERM while recording", SIGTERM, false},
                 {"SIGKILL while recording", SIGKILL, false},
                 {"SIGKILL while transcribing", SIGKILL, true}};
    for (const auto &ending : cases) {
        SCOPED_TRACE(ending.when);
        ASSERT_EQ(outputMute(), QStringLiteral("Mute: no"));
        const qsizetype historyBefore = historyIn(app().historyFile()).size();
        const qint64 wordsBefore = wordsDictatedIn(app().configFile());
        runOk({QStringLiteral("--start")});
        ASSERT_TRUE(app().waitForStatus(signedIn(QStringLiteral("recording")), 30s));
        EXPECT_EQ(leftRecordings().size(), 1);
        EXPECT_EQ(outputMute(), QStringLiteral("Mute: yes"));
        if (ending.transcribing) {
            ASSERT_TRUE(service().command(QStringLiteral("stall 3000")));
            const qsizetype sent = service().requests(QStringLiteral("/transcribe")).size();
            runOk({QStringLiteral("--stop")});
            ASSERT_TRUE(service().waitForRequests(QStringLiteral("/transcribe"), sent + 1, 20s));
        }

        ASSERT_GT(app().pid(), 0) << "kill(0) would signal the whole process group";
        ASSERT_EQ(::kill(pid_t(app().pid()), ending.signal), 0);
        EXPECT_TRUE(waitUntil([this] { return !app().isRunning(); }, 20s));
        if (ending.signal == SIGKILL && !ending.transcribing) { // the next start cleans up
            EXPECT_EQ(outputMute(), QStringLiteral("Mute: yes"));
        }
        ASSERT_TRUE(app().launch());
        EXPECT_TRUE(waitUntil([&] { return outputMute() == u"Mute: no"; }, 10s));
        EXPECT_TRUE(waitUntil([&] { return leftRecordings().isEmpty(); }, 10s))
            << leftRecordings().join(u' ').toStdString();
        EXPECT_EQ(historyIn(app().historyFile()).size(), historyBefore);
        EXPECT_EQ(wordsDictatedIn(app().configFile()), wordsBefore);
        ASSERT_TRUE(service().command(QStringLiteral("stall 0")));
    }

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
    EXPECT_EQ(session->app->quit(), 0);
    EXPECT_FALSE(app().isRunning());
    EXPECT_EQ(app().run({QStringLiteral("--status")}).exitCode, 1);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
