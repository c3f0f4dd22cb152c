#include "Config.h"
#include "QtPrinters.h"
#include "TranscribeError.h"
#include "Transcriber.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

TEST(ConfigTest, TokensGoOnlyOverHttpsOrToThisMachine) {
    for (const char *base : {"http://127.0.0.1:9000", "http://[::1]:9000", "HTTP://LOCALHOST:1",
                             "https://api.example.com"})
        EXPECT_TRUE(Config(base, {}).isConfigured()) << base;
    for (const char *base :
         {"http://api.example.com", "http://127.0.0.2", "http://localhost.evil", "ftp://a.example",
          "https://", "api.example.com", "https://exa mple.com", "https://x.example/REPLACE_ME"})
        EXPECT_FALSE(Config(base, {}).isConfigured()) << base;
}

TEST(ConfigTest, EndpointsFollowTheBaseWithoutADoubleSlash) {
    const Config config("https://api.example.com/v1/", "https://account.example.com/");
    EXPECT_EQ(config.endpoint("/transcribe").toString(), "https://api.example.com/v1/transcribe");
    EXPECT_EQ(config.accountPage().toString(), "https://account.example.com/manage");
    EXPECT_TRUE(Config({}, "http://evil.example.com").accountPage().isEmpty());
    EXPECT_TRUE(config.isConfigured());
    EXPECT_FALSE(Config("https://REPLACE_ME.invalid", "https://REPLACE_ME.invalid").isConfigured())
        << "the placeholder base counts as not configured";
}

TEST(TranscribeErrorTest, ComposedDescriptionsKeepTheMessageAsItIs) {
    EXPECT_EQ(TranscribeError::http(500, "%1 of %2").errorDescription(),
              "Server error (500): %1 of %2");
    EXPECT_EQ(TranscribeError::network("Connection refused").errorDescription(),
              "Network error: Connection refused");
    EXPECT_EQ(TranscribeError::limitReached("Used up.").errorDescription(), "Used up.");
    EXPECT_FALSE(TranscribeError::limitReached("").errorDescription().isEmpty());
}

TEST(TranscribeErrorTest, HttpKeepsThreeHundredPerceivedCharacters) {
    // A flag is four UTF-16 units, an accented "e" two; each is one perceived character.
    const QString pair = QString::fromUtf8("\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA"
                                           "e\xCC\x81");
    EXPECT_EQ(TranscribeError::http(503, pair.repeated(200)).text(), pair.repeated(150));
    EXPECT_EQ(TranscribeError::http(503, "short").text(), "short");
}

TEST(RequestBodyTest, EmptySourcesAreSentEmptyNotLeftOut) {
    const QByteArray body = Transcriber::requestBody({}, {"m", "auto", "clean", {}, {}});
    const QJsonObject object = QJsonDocument::fromJson(body).object();
    EXPECT_EQ(object.size(), 7);
    EXPECT_EQ(object["audio_base64"], QJsonValue(""));
    EXPECT_EQ(object["dictionary"], QJsonValue(QJsonArray()));
    EXPECT_EQ(object["instructions"], QJsonValue(""));
}

} // namespace
