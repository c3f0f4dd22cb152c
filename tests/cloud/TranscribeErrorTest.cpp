#include "TranscribeError.h"
#include "QtPrinters.h"
#include "Transcriber.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

TEST(TranscribeErrorTest, DescriptionsAreTheUserFacingTexts) {
    EXPECT_EQ(TranscribeError::limitReached("Monthly limit reached").errorDescription(),
              "Monthly limit reached");
    EXPECT_EQ(TranscribeError::limitReached("").errorDescription(), "");
    EXPECT_EQ(TranscribeError::http(503, "busy").errorDescription(), "Server error (503): busy");
    EXPECT_EQ(TranscribeError::http(0, "").errorDescription(), "Server error (0): ");
    EXPECT_EQ(TranscribeError::network("Connection refused").errorDescription(),
              "Network error: Connection refused");
    EXPECT_EQ(TranscribeError::proxyNotConfigured().errorDescription(),
              "Server URL is not configured (Config.proxyBaseURL). Deploy the Worker.");
    EXPECT_EQ(TranscribeError::notSignedIn().errorDescription(),
              QString::fromUtf8("Sign in required. Sign in from Settings \xE2\x86\x92 Account."));
    EXPECT_EQ(TranscribeError::emptyResponse().errorDescription(),
              "The model returned an empty response.");
}

TEST(TranscribeErrorTest, PercentSignsInAMessageStayAsTheyAre) {
    EXPECT_EQ(TranscribeError::http(500, "%1 of %2").errorDescription(),
              "Server error (500): %1 of %2");
}

TEST(TranscribeErrorTest, HttpKeepsThreeHundredPerceivedCharacters) {
    // Each flag is two code points (four UTF-16 units) and one perceived character; each
    // "e" with a combining accent is two code points and one perceived character.
    const QString flag = QString::fromUtf8("\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA");
    const QString accented = QString::fromUtf8("e\xCC\x81");
    QString message;
    for (int i = 0; i < 200; ++i)
        message += flag + accented;
    const TranscribeError error = TranscribeError::http(503, message);
    QString expected;
    for (int i = 0; i < 150; ++i)
        expected += flag + accented;
    EXPECT_EQ(error.text(), expected);
    EXPECT_EQ(TranscribeError::http(503, "short").text(), "short");
    EXPECT_EQ(leadingGraphemes(QString(), 300), QString());
}

QJsonObject parsedBody(const QByteArray &audio, const Transcriber::Inputs &inputs) {
    const QByteArray body = Transcriber::requestBody(audio, inputs);
    EXPECT_FALSE(body.contains('\n'));
    return QJsonDocument::fromJson(body).object();
}

TEST(RequestBodyTest, HoldsTheSevenMembers) {
    // Bytes whose Base64 needs '+', '/' and padding.
    const QByteArray audio("\xfb\xff\xbf\x00\x01", 5);
    const QJsonObject body = parsedBody(
        audio, {"model-a", "de", "summary", {"Talvo", "Kubernetes"}, "Use British spelling."});
    EXPECT_EQ(body.size(), 7);
    EXPECT_EQ(body["audio_base64"].toString(), "+/+/AAE=");
    EXPECT_EQ(QByteArray::fromBase64(body["audio_base64"].toString().toLatin1()), audio);
    EXPECT_EQ(body["format"].toString(), "m4a");
    EXPECT_EQ(body["model"].toString(), "model-a");
    EXPECT_EQ(body["language"].toString(), "de");
    EXPECT_EQ(body["mode"], QJsonValue("summary"));
    EXPECT_EQ(body["dictionary"].toArray(), QJsonArray({"Talvo", "Kubernetes"}));
    EXPECT_EQ(body["instructions"].toString(), "Use British spelling.");
}

TEST(RequestBodyTest, EmptySourcesAreSentEmptyNotLeftOut) {
    const QJsonObject body = parsedBody(QByteArray(), {"m", "auto", "clean", {}, {}});
    EXPECT_EQ(body.size(), 7);
    EXPECT_EQ(body["audio_base64"], QJsonValue(""));
    EXPECT_EQ(body["dictionary"], QJsonValue(QJsonArray()));
    EXPECT_EQ(body["instructions"], QJsonValue(""));
}

TEST(RequestBodyTest, LongAudioHasNoLineBreaks) {
    const QByteArray audio(100'000, '\x7f');
    const QJsonObject body = parsedBody(audio, {"m", "auto", "clean", {}, {}});
    EXPECT_EQ(QByteArray::fromBase64(body["audio_base64"].toString().toLatin1()), audio);
}

} // namespace
