// Runs against an HTTP server in this process and the private Secret Service.

#include "ServiceFixture.h"
#include "TranscriptionClient.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QJsonArray>

#include <qcoro/qcorotask.h>

#include <gmock/gmock.h>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;
using ::testing::UnorderedElementsAre;

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

    // The outcome of one exchange answered with `status` and `body`.
    TranscribeOutcome answeredWith(int status, const QByteArray &body,
                                   const QByteArray &mime = "application/json") {
        server.reply(transcribePath, {status, body, mime});
        return transcribe();
    }

    QByteArray audio;
    QString audioFile;
};

TEST_F(TranscriberTest, SendsTheRecordingAndPreferencesAndReturnsTrimmedText) {
    settings.setModel(QStringLiteral("model-x"));
    settings.setLanguage(QStringLiteral("de"));
    settings.setDictationMode(DictationMode::Summary);
    vocabulary.setTerms({QStringLiteral("Talvo"), QStringLiteral("Grafana")});
    vocabulary.setInstructions(QStringLiteral("Short sentences."));

    const TranscribeOutcome outcome =
        answeredWith(200, R"({"text":" \n\t Hello there.\r\n  ","model":"m"})");

    ASSERT_TRUE(outcome.succeeded()) << outcome.errorDescription().toStdString();
    EXPECT_EQ(outcome.text(), "Hello there.");
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

TEST_F(TranscriberTest, ARejectedTokenIsRenewedOnceAndTheSameBodyResent) {
    const QString renewed = makeJwt("ada@example.org", "new");
    server.reply(transcribePath, {401, R"({"error":"expired"})"});
    server.reply(refreshPath,
                 {200, QJsonDocument(QJsonObject{{"access_token", renewed}}).toJson()});
    server.reply(transcribePath, {200, R"({"text":"after renewal"})"});

    const TranscribeOutcome outcome = transcribe();

    EXPECT_EQ(outcome.text(), "after renewal");
    const auto sent = server.requests(transcribePath);
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[1].header("Authorization"), "Bearer " + renewed.toLatin1());
    EXPECT_EQ(sent[1].body, sent[0].body);
    const auto refreshes = server.requests(refreshPath);
    ASSERT_EQ(refreshes.size(), 1);
    EXPECT_EQ(QJsonDocument::fromJson(refreshes[0].body).object(),
              QJsonObject({{"refresh_token", "refresh-1"}}));
    EXPECT_TRUE(refreshes[0].header("Authorization").isNull());
    EXPECT_EQ(storedAccess(), renewed);
    EXPECT_EQ(storedRefresh(), "refresh-1");
}

TEST_F(TranscriberTest, ASecondRejectionAfterRenewalMeansSignInWithoutAnotherRenewal) {
    server.reply(transcribePath, {401, {}});
    server.reply(refreshPath, {200, R"({"access_token":"fresh","refresh_token":"refresh-2"})"});
    server.reply(transcribePath, {401, {}});
    server.reply(refreshPath, {200, R"({"access_token":"fresher"})"});
    server.reply(transcribePath, {200, R"({"text":"must not be reached"})"});

    const TranscribeOutcome outcome = transcribe();

    ASSERT_TRUE(outcome.error());
    EXPECT_EQ(outcome.error()->kind(), TranscribeError::Kind::NotSignedIn);
    EXPECT_EQ(server.requests(transcribePath).size(), 2);
    EXPECT_EQ(server.requests(refreshPath).size(), 1);
    EXPECT_EQ(storedAccess(), "fresh");
    EXPECT_EQ(storedRefresh(), "refresh-2");
    EXPECT_TRUE(auth->isSignedIn());
}

TEST_F(TranscriberTest, ARejectionWithoutRefreshTokenSignsOut) {
    storeTokens(makeJwt("ada@example.org"), std::nullopt);
    connectTo(server.baseUrl());
    ASSERT_TRUE(auth->isSignedIn());

    const TranscribeOutcome outcome = answeredWith(401, R"({"error":"expired"})");

    EXPECT_EQ(outcome.errorDescription(), TranscribeError::notSignedIn().errorDescription());
    EXPECT_EQ(server.requests(refreshPath).size(), 0);
    EXPECT_EQ(server.requests(transcribePath).size(), 1);
    EXPECT_FALSE(auth->isSignedIn());
    EXPECT_EQ(storedAccess(), std::nullopt);
    EXPECT_EQ(storedRefresh(), std::nullopt);
}

TEST_F(TranscriberTest, LimitAnswersCarryTheServiceMessageWhole) {
    const QString longMessage =
        QStringLiteral("You have used all words of this month. ").repeated(20);
    const TranscribeOutcome payment =
        answeredWith(402, QJsonDocument(QJsonObject{{"error", longMessage}}).toJson());
    EXPECT_EQ(payment.error(), TranscribeError::limitReached(longMessage));
    EXPECT_EQ(payment.errorDescription(), longMessage);

    const TranscribeOutcome tooLarge = answeredWith(413, "Recording too long", "text/plain");
    EXPECT_EQ(tooLarge.errorDescription(), "Recording too long");
}

TEST_F(TranscriberTest, OtherStatusesShowTheStatusAndTheStartOfTheMessage) {
    const QByteArray numericError = R"({"error": 42})";
    EXPECT_EQ(answeredWith(500, numericError).error(), TranscribeError::http(500, numericError));
    EXPECT_EQ(answeredWith(500, R"({"error":"model crashed"})").errorDescription(),
              "Server error (500): model crashed");

    const QByteArray thousand = QByteArray("0123456789").repeated(100);
    const TranscribeOutcome busy = answeredWith(503, thousand, "text/plain");
    ASSERT_TRUE(busy.error());
    EXPECT_EQ(busy.error()->status(), 503);
    EXPECT_EQ(busy.error()->text(), QString::fromLatin1(thousand.left(300)));

    EXPECT_EQ(answeredWith(404, "\xff\xfe not text", "text/plain").errorDescription(),
              "Server error (404): ");
}

TEST_F(TranscriberTest, SuccessWithoutUsableTextIsAnEmptyResponse) {
    const auto empty = TranscribeError::emptyResponse();
    EXPECT_EQ(answeredWith(200, R"({"text":" \n \t "})").error(), empty);
    EXPECT_EQ(answeredWith(200, "{}").error(), empty);
    EXPECT_EQ(answeredWith(200, R"({"text":7})").error(), empty);
    EXPECT_EQ(answeredWith(200, "Hello", "text/plain").error(), empty);
    EXPECT_EQ(answeredWith(204, {}).error(), empty);
    EXPECT_EQ(answeredWith(201, R"({"text":"created"})").text(), "created");
}

TEST_F(TranscriberTest, AnOversizedBodyIsNotTakenAsJson) {
    // Valid JSON followed by white space beyond the limit.
    const QByteArray padding(17 * 1024 * 1024, ' ');
    EXPECT_EQ(answeredWith(200, R"({"text":"hidden"})" + padding).error(),
              TranscribeError::emptyResponse());
    const TranscribeOutcome failed = answeredWith(500, R"({"error":"hidden"})" + padding);
    ASSERT_TRUE(failed.error());
    EXPECT_EQ(failed.error()->text(),
              QString::fromLatin1((R"({"error":"hidden"})" + padding).left(300)));
}

TEST_F(TranscriberTest, RefusedAndSilentServersAreNetworkErrors) {
    connectTo(unusedLocalBase());
    const TranscribeOutcome refused = transcribe();
    ASSERT_TRUE(refused.error());
    EXPECT_EQ(refused.error()->kind(), TranscribeError::Kind::Network);
    EXPECT_FALSE(refused.error()->text().isEmpty());

    SilentServer silent;
    connectTo(silent.baseUrl(), 300ms);
    EXPECT_EQ(transcribe().error(), TranscribeError::network("The request timed out."));
}

TEST_F(TranscriberTest, AServiceThatFailsMidwayGivesAClearOutcome) {
    using Fault = FaultyServer::Fault;
    // A recording large enough to be still on its way when the connection drops.
    TempFolder::write(audioFile, QByteArray(4 * 1024 * 1024, '\x5a'));
    const struct {
        Fault fault;
        QByteArray answer;
        std::optional<TranscribeError::Kind> error; // nothing: the text arrives
    } cases[] = {
        {Fault::CloseMidUpload, {}, TranscribeError::Kind::Network},
        {Fault::CloseMidAnswer, {}, TranscribeError::Kind::Network},
        {Fault::OneByteAtATime, R"({"text":"Slow but whole."})", std::nullopt},
        {Fault::EndlessText, {}, TranscribeError::Kind::EmptyResponse},
    };
    for (const auto &[fault, answer, error] : cases) {
        SCOPED_TRACE(static_cast<int>(fault));
        FaultyServer faulty(fault, answer);
        connectTo(faulty.baseUrl());
        const TranscribeOutcome outcome = transcribe();
        EXPECT_GT(faulty.receivedBytes(), 0);
        if (!error) {
            EXPECT_EQ(outcome.text(), "Slow but whole.")
                << outcome.errorDescription().toStdString();
            continue;
        }
        ASSERT_TRUE(outcome.error()) << outcome.text().toStdString();
        EXPECT_EQ(outcome.error()->kind(), *error) << outcome.errorDescription().toStdString();
        EXPECT_FALSE(outcome.errorDescription().isEmpty());
    }
    // The tokens are untouched by a failure that is not the service's answer.
    EXPECT_EQ(storedAccess(), makeJwt("ada@example.org", "old"));
    EXPECT_EQ(storedRefresh(), QStringLiteral("refresh-1"));
}

TEST_F(TranscriberTest, TheTokenIsNotFollowedToAnotherOrigin) {
    TestServer elsewhere;
    const QByteArray target = elsewhere.baseUrl().replace("127.0.0.1", "localhost").toLatin1();
    server.reply(transcribePath, {307, "moved", "text/plain", target + "/transcribe"});
    elsewhere.reply(transcribePath, {200, R"({"text":"stolen"})"});

    const TranscribeOutcome outcome = transcribe();
    ASSERT_TRUE(outcome.error());
    EXPECT_EQ(outcome.error()->status(), 307);
    EXPECT_EQ(elsewhere.requestCount(), 0);
}

TEST_F(TranscriberTest, NothingIsSentWithoutAddressTokenOrFile) {
    connectTo(QStringLiteral("https://api.REPLACE_ME.example.com"));
    QFile::remove(audioFile);
    EXPECT_EQ(transcribe().errorDescription(),
              "Server URL is not configured (Config.proxyBaseURL). Deploy the Worker.");

    connectTo(server.baseUrl());
    const TranscribeOutcome missingFile = transcribe();
    EXPECT_FALSE(missingFile.succeeded());
    EXPECT_FALSE(missingFile.error().has_value());
    EXPECT_FALSE(missingFile.errorDescription().isEmpty());

    TempFolder::write(audioFile, audio);
    storeTokens(std::nullopt, QStringLiteral("refresh-1"));
    EXPECT_EQ(transcribe().error(), TranscribeError::notSignedIn());
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(TranscriberTest, TheClientReportsOnceAndNeverBeforeReturning) {
    QStringList reports; // the text, or the message of a failure
    const auto report = [&reports](const TranscriptionResult &result) {
        reports.append(result.text.value_or(result.errorMessage));
    };
    TranscriptionClient client(*transcriber);
    server.reply(transcribePath, {200, R"({"text":"via the port"})"});
    client.transcribe(audioFile, report);
    const Config placeholder(QStringLiteral("https://REPLACE_ME.invalid"), QString());
    Transcriber offline(placeholder, settings, vocabulary, *auth, network);
    TranscriptionClient unconfigured(offline);
    unconfigured.transcribe(audioFile, report);
    EXPECT_TRUE(reports.isEmpty());

    const QDeadlineTimer deadline(10s);
    while (reports.size() < 2 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_THAT(reports,
                UnorderedElementsAre("via the port",
                                     TranscribeError::proxyNotConfigured().errorDescription()));
}

} // namespace
