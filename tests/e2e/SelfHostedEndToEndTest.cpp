// The real orvanta executable against orvanta-service with its offline recogniser, on an X
// server, with a sound server whose microphone hears espeak-ng speech and a Secret Service.
// The user signs in on the service's page, dictates one sentence from the command line, and
// the service counts the words. The cases run in order, as one user's session.

#include "E2eSupport.h"
#include "LoginItem.h"
#include "PreferenceStore.h"
#include "Settings.h"
#include "Vocabulary.h"
#include "X11TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <memory>

using namespace orvanta;
using namespace orvanta::e2e;
using namespace std::chrono_literals;

namespace {

const QString email = QStringLiteral("self.hosted.e2e@example.com");
const QString sentence = QStringLiteral("Send the report today.");
// The recogniser chooses among these; the others keep it from accepting anything at all.
const QStringList expectedSentences{QStringLiteral("send the report today"),
                                    QStringLiteral("turn on the kitchen light"),
                                    QStringLiteral("please call me tomorrow")};
// What the service writes for the speech, and what the user's rules make of that.
const QString serviceText = QStringLiteral("Send the report today.");
const QString typedText = QStringLiteral("Send the Talvo report by Friday.");

QString signedIn(const QString &status) {
    return status + QStringLiteral("\tsigned-in");
}

void writePreferences(const QString &configFile) {
    PreferenceStore store(configFile);
    LoginItem loginItem(QFileInfo(configFile).dir().filePath(QStringLiteral("autostart")),
                        QStringLiteral("orvanta"));
    Settings settings(store, loginItem);
    settings.setDictationMode(DictationMode::Clean);

    Vocabulary vocabulary(store);
    Replacement product = Replacement::create();
    product.from = QStringLiteral("report");
    product.to = QStringLiteral("Talvo report");
    Replacement day = Replacement::create();
    day.from = QStringLiteral("today");
    day.to = QStringLiteral("by Friday");
    vocabulary.setReplacements({product, day});
}

class SelfHostedEndToEnd : public ::testing::Test {
protected:
    using Session = DictationSession<SelfHostedService>;
    static inline Session *session = nullptr;
    static inline const char *setupFailure = nullptr;

    static void SetUpTestSuite() {
        session = new Session(email, expectedSentences);
        setupFailure = session->start(writePreferences);
    }

    static void TearDownTestSuite() {
        delete session;
        session = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(session->app) << "the session did not start: " << setupFailure << "\n"
                                  << session->service.output().toStdString();
        ASSERT_TRUE(session->app->isRunning());
    }

    OrvantaProcess &app() { return *session->app; }
    SelfHostedService &service() { return session->service; }

    void toggle() {
        const OrvantaProcess::Outcome outcome = app().run({QStringLiteral("--toggle")});
        EXPECT_EQ(outcome.exitCode, 0) << outcome.errors.toStdString();
    }

    // The words the service has counted for the signed-in account this month.
    std::optional<qint64> wordsUsedOnService() {
        const std::optional<QString> access = storedSecret(QStringLiteral("auth-access-token"));
        if (!access)
            return std::nullopt;
        const std::optional<QJsonObject> account = service().me(*access);
        if (!account || account->value(QStringLiteral("email")).toString() != email)
            return std::nullopt;
        return account->value(QStringLiteral("used")).toInteger(-1);
    }
};

TEST_F(SelfHostedEndToEnd, SignsInOnTheServicePage) {
    EXPECT_EQ(app().status(), QStringLiteral("idle\tsigned-out"));

    const OrvantaProcess::Outcome outcome = app().run({QStringLiteral("--sign-in")});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.errors.toStdString();

    ASSERT_TRUE(app().waitForStatus(signedIn(QStringLiteral("idle")), 30s));
    EXPECT_EQ(app().browserVisits(), QStringList{service().baseUrl() + QStringLiteral("/signin")});
    EXPECT_EQ(wordsUsedOnService(), 0) << "the stored token is not the service's";
}

TEST_F(SelfHostedEndToEnd, DictatesOneSentence) {
    toggle();
    ASSERT_TRUE(app().waitForStatus(signedIn(QStringLiteral("recording")), 20s));
    EXPECT_TRUE(session->microphone.speak(sentence)) << "the speech did not play";
    toggle();

    EXPECT_TRUE(session->target.waitForLine(QStringLiteral("text ") + typedText, 40000))
        << "the target received: " << session->target.lines().join(u'|').toStdString();
    EXPECT_TRUE(app().waitForStatus(signedIn(QStringLiteral("idle")), 10s));
    const QList<HistoryItem> history = historyIn(app().historyFile());
    ASSERT_EQ(history.size(), 1);
    EXPECT_EQ(history.first().text, typedText);
    EXPECT_EQ(wordsDictatedIn(app().configFile()), wordCount(typedText));
    // The service counts what it recognised, before the user's rules.
    EXPECT_EQ(wordsUsedOnService(), wordCount(serviceText));
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
