// Runs against an HTTP server in this process and the private Secret Service.

#include "HttpExchange.h"
#include "ServiceFixture.h"
#include "TranscriptionClient.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QProcess>
#include <QTest>

#include <csignal>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

const QString transcribePath = QStringLiteral("/transcribe");
const QString refreshPath = QStringLiteral("/auth/refresh");

class TranscriberTest : public ServiceFixture {
protected:
    TranscriberTest() {
        // Bytes whose Base64 holds '+', '/' and padding, like any real recording would.
        audio = QByteArray("\xfb\xff\xbf", 3).repeated(2000) + "tail";
        audioFile = folder.filePath(QStringLiteral("orvanta-TEST.m4a"));
        TempFolder::write(audioFile, audio);
        storeTokens(makeJwt("ada@example.org", "old"), QStringLiteral("refresh-1"));
        connectTo(server.baseUrl());
    }

    TranscribeOutcome transcribe() { return QCoro::waitFor(transcriber->transcribe(audioFile)); }

    QByteArray audio;
    QString audioFile;
};

TEST_F(TranscriberTest, SendsTheRecordingAndPreferences) {
    settings.setModel(QStringLiteral("model-x"));
    settings.setLanguage(QStringLiteral("de"));
    settings.setDictationMode(DictationMode::Summary);
    vocabulary.setTerms({QStringLiteral("Talvo"), QStringLiteral("Grafana")});
    vocabulary.setInstructions(QStringLiteral("Short sentences."));
    server.reply(transcribePath, {200, R"({"text":"Hello there."})"});

    ASSERT_EQ(transcribe().text(), "Hello there.");
    const auto requests = server.requests(transcribePath);
    ASSERT_EQ(requests.size(), 1);
    const RecordedRequest &request = requests[0];
    EXPECT_TRUE(request.isPost);
    EXPECT_EQ(request.header("Authorization"),
              "Bearer " + makeJwt("ada@example.org", "old").toLatin1());
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    EXPECT_FALSE(request.body.contains('\n'));
    const QString base64 = QString::fromLatin1(audio.toBase64());
    ASSERT_TRUE(base64.contains('+') && base64.contains('/') && base64.endsWith('='));
    EXPECT_EQ(QJsonDocument::fromJson(request.body).object(),
              QJsonObject({{"audio_base64", base64},
                           {"format", "m4a"},
                           {"model", "model-x"},
                           {"language", "de"},
                           {"mode", "summary"},
                           {"dictionary", QJsonArray{"Talvo", "Grafana"}},
                           {"instructions", "Short sentences."}}));
}

// A redirect does not take the token to another origin.
TEST_F(TranscriberTest, EachAnswerBecomesTheTextOrItsErrorAndNoRedirectIsFollowed) {
    const QString longMessage =
        QStringLiteral("You have used all words of this month. ").repeated(20);
    // Valid JSON padded with white space to the largest body that is read, and one byte beyond.
    const QByteArray largest =
        R"({"text":"edge"})" + QByteArray(HttpExchange::maximumBodySize - 15, ' ');
    StandInServer elsewhere;
    elsewhere.reply(transcribePath, {200, R"({"text":"stolen"})"}, true);
    const QByteArray moved =
        elsewhere.baseUrl().replace("127.0.0.1", "localhost").toLatin1() + "/transcribe";
    const auto failure = [](const TranscribeError &error) {
        return TranscribeOutcome::failure(error);
    };
    const auto empty = failure(TranscribeError::emptyResponse());
    const std::pair<ScriptedReply, TranscribeOutcome> cases[] = {
        {{200, R"({"text":" \n\t Hello there.\r\n  ","model":"m"})"},
         TranscribeOutcome::success("Hello there.")},
        {{201, R"({"text":"created"})"}, TranscribeOutcome::success("created")},
        {{200, largest}, TranscribeOutcome::success("edge")},
        {{200, largest + ' '}, empty},
        {{200, R"({"text":" \n \t "})"}, empty},
        {{200, R"({"text":7})"}, empty},
        {{200, "Hello", "text/plain"}, empty},
        {{204, {}}, empty},
        {{402, QJsonDocument(QJsonObject{{"error", longMessage}}).toJson()},
         failure(TranscribeError::limitReached(longMessage))},
        {{413, "Recording too long", "text/plain"},
         failure(TranscribeError::limitReached("Recording too long"))},
        {{500, R"({"error": 42})"}, failure(TranscribeError::http(500, R"({"error": 42})"))},
        {{500, R"({"error":"model crashed"})"},
         failure(TranscribeError::http(500, "model crashed"))},
        {{404, "\xff\xfe not text", "text/plain"}, failure(TranscribeError::http(404, ""))},
        {{307, {}, {}, moved}, failure(TranscribeError::http(307, ""))},
    };
    for (const auto &[reply, expected] : cases) {
        SCOPED_TRACE((QByteArray::number(reply.status) + ' ' + reply.body.left(40)).toStdString());
        server.reply(transcribePath, reply);
        const TranscribeOutcome outcome = transcribe();
        EXPECT_EQ(outcome.text(), expected.text());
        EXPECT_EQ(outcome.error(), expected.error());
    }
    EXPECT_EQ(elsewhere.requestCount(), 0);
}

// Renewed once and the same body resent; rejected again after renewal, it asks for a sign-in.
TEST_F(TranscriberTest, ARejectedTokenIsRenewedOnceAndTheSameBodyResent) {
    const QString renewed = makeJwt("ada@example.org", "new");
    server.reply(transcribePath, {401, R"({"error":"expired"})"});
    server.reply(refreshPath,
                 {200, QJsonDocument(QJsonObject{{"access_token", renewed}}).toJson()});
    server.reply(transcribePath, {200, R"({"text":"after renewal"})"});
    EXPECT_EQ(transcribe().text(), "after renewal");
    const auto sent = server.requests(transcribePath);
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[1].header("Authorization"), "Bearer " + renewed.toLatin1());
    EXPECT_EQ(sent[1].body, sent[0].body);
    const auto refreshes = server.requests(refreshPath);
    ASSERT_EQ(refreshes.size(), 1);
    EXPECT_EQ(refreshes[0].body, R"({"refresh_token":"refresh-1"})");
    EXPECT_TRUE(refreshes[0].header("Authorization").isNull());
    EXPECT_EQ(stored(), Stored(renewed, "refresh-1"));

    server.reply(transcribePath, {401, {}});
    server.reply(refreshPath, {200, R"({"access_token":"fresh","refresh_token":"refresh-2"})"});
    server.reply(transcribePath, {401, {}});
    server.reply(refreshPath, {200, R"({"access_token":"fresher"})"});
    EXPECT_EQ(transcribe().error(), TranscribeError::notSignedIn());
    EXPECT_EQ(server.requests(transcribePath).size(), 4);
    EXPECT_EQ(server.requests(refreshPath).size(), 2);
    EXPECT_EQ(stored(), Stored("fresh", "refresh-2"));
    EXPECT_TRUE(auth->isSignedIn());
}

// A server that refuses the connection is the renewal's case in AuthTest.
TEST_F(TranscriberTest, ServersThatStayStillOrBreakOffAreNetworkErrors) {
    connectTo(server.baseUrl(), 300ms);
    server.reply(transcribePath, {200, {}, {}, {}, true});
    EXPECT_EQ(transcribe().error(), TranscribeError::network("The request timed out."));

    // A status, then the connection ends before the promised body.
    server.reply(transcribePath, {200, R"({"text":"cut off)", "application/json", {}, false, 1000});
    const TranscribeOutcome broken = transcribe();
    ASSERT_TRUE(broken.error());
    EXPECT_EQ(broken.error()->kind(), TranscribeError::Kind::Network);
    EXPECT_EQ(server.requestCount(), 2) << "neither is sent again";
    // The tokens are untouched by a failure that is not the service's answer.
    EXPECT_EQ(stored(), Stored(makeJwt("ada@example.org", "old"), "refresh-1"));
}

// Without an address: TheClientReportsOnceAndNeverBeforeReturning.
TEST_F(TranscriberTest, NothingIsSentWithoutTokenOrFile) {
    QFile::remove(audioFile);
    const TranscribeOutcome missingFile = transcribe();
    EXPECT_FALSE(missingFile.error().has_value());
    EXPECT_FALSE(missingFile.errorDescription().isEmpty());

    TempFolder::write(audioFile, audio);
    storeTokens(std::nullopt, QStringLiteral("refresh-1"));
    EXPECT_EQ(transcribe().error(), TranscribeError::notSignedIn());
    EXPECT_EQ(server.requestCount(), 0);
}

// An outcome known at once (no service address) still reaches the caller only later.
TEST_F(TranscriberTest, TheClientReportsOnceAndNeverBeforeReturning) {
    QStringList reports; // the text, or the message of a failure
    const Config placeholder(QStringLiteral("https://REPLACE_ME.invalid"), QString());
    Transcriber offline(placeholder, settings, vocabulary, *auth, network);
    TranscriptionClient client(offline);
    client.transcribe(audioFile, [&reports](const TranscriptionResult &result) {
        reports.append(result.text.value_or(result.errorMessage));
    });
    EXPECT_TRUE(reports.isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&reports] { return !reports.isEmpty(); }, 10000));
    QTest::qWait(50);
    EXPECT_EQ(reports, QStringList{TranscribeError::proxyNotConfigured().errorDescription()});
}

bool lockDefaultKeyring() {
    return QProcess::execute("dbus-send",
                             {"--session", "--print-reply", "--dest=org.freedesktop.secrets",
                              "/org/freedesktop/secrets", "org.freedesktop.Secret.Service.Lock",
                              "array:objpath:/org/freedesktop/secrets/aliases/default"}) == 0;
}

bool killKeyring() {
    const int pid = qEnvironmentVariableIntValue("ORVANTA_TEST_KEYRING_PID");
    return pid > 0 && ::kill(pid_t(pid), SIGKILL) == 0;
}

// The Secret Service locked or gone for good between sign-in and dictation (own session each).
class KeyringLoss : public TranscriberTest,
                    public ::testing::WithParamInterface<std::pair<const char *, bool (*)()>> {};

} // namespace

TEST_P(KeyringLoss, DictationAsksToSignInAgainWithoutHanging) {
    ASSERT_TRUE(auth->isSignedIn());
    server.reply(transcribePath, {200, R"({"text":"should not be reached"})"});

    ASSERT_TRUE(GetParam().second()) << GetParam().first;
    const QDeadlineTimer deadline(60s);
    const TranscribeOutcome outcome = transcribe();

    EXPECT_FALSE(deadline.hasExpired()) << "the token store held the dictation up";
    EXPECT_EQ(outcome.error(), TranscribeError::notSignedIn()) << outcome.text().toStdString();
    EXPECT_EQ(server.requestCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(TokenStore, KeyringLoss,
                         ::testing::Values(std::pair{"locked", &lockDefaultKeyring},
                                           std::pair{"gone", &killKeyring}),
                         [](const auto &info) { return std::string(info.param.first); });
