#include "Auth.h"
#include "QtPrinters.h"
#include "SignInWindow.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace std::chrono_literals;

namespace {

QByteArray base64Url(const QByteArray &bytes) {
    return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

QString jwtWithPayload(const QByteArray &payload) {
    return QString::fromLatin1(base64Url(R"({"alg":"HS256"})") + '.' + payload + ".c2ln");
}

// A payload holding `email`, padded with spaces until its Base64url text has the wanted length
// modulo 4.
QByteArray payloadWithLengthResidue(const QString &email, int residue) {
    QByteArray json = QJsonDocument(QJsonObject{{"email", email}}).toJson(QJsonDocument::Compact);
    while (base64Url(json).size() % 4 != residue)
        json.append(' ');
    return base64Url(json);
}

TEST(CallbackTokens, TakeBothTokensFromAnOrvantaUrl) {
    const auto tokens =
        Auth::tokensFromCallback("orvanta://auth/done?access_token=abc.def&refresh_token=r%2B1");
    ASSERT_TRUE(tokens);
    EXPECT_EQ(tokens->access, "abc.def");
    EXPECT_EQ(tokens->refresh, "r+1");
}

TEST(CallbackTokens, HostPathAndOtherParametersDoNotMatter) {
    const auto tokens = Auth::tokensFromCallback("orvanta:?state=x&access_token=a");
    ASSERT_TRUE(tokens);
    EXPECT_EQ(tokens->access, "a");
    EXPECT_EQ(tokens->refresh, std::nullopt);
}

TEST(CallbackTokens, SchemeMustBeExactlyOrvanta) {
    for (const char *url :
         {"Orvanta://x?access_token=a", "ORVANTA://x?access_token=a", "https://x?access_token=a",
          "orvantax://x?access_token=a", "//x?access_token=a", "access_token=a"})
        EXPECT_EQ(Auth::tokensFromCallback(QString::fromLatin1(url)), std::nullopt) << url;
}

TEST(CallbackTokens, AMissingOrEmptyAccessTokenIsNoCallback) {
    for (const char *url :
         {"orvanta://x", "orvanta://x?", "orvanta://x?access_token=", "orvanta://x?access_token",
          "orvanta://x?refresh_token=r", "orvanta://x?Access_Token=a"})
        EXPECT_EQ(Auth::tokensFromCallback(QString::fromLatin1(url)), std::nullopt) << url;
}

TEST(CallbackTokens, TheFirstOfRepeatedItemsWins) {
    const auto tokens = Auth::tokensFromCallback(
        "orvanta://x?access_token=first&access_token=second&refresh_token=r1&refresh_token=r2");
    ASSERT_TRUE(tokens);
    EXPECT_EQ(tokens->access, "first");
    EXPECT_EQ(tokens->refresh, "r1");
}

TEST(CallbackTokens, AnEmptyFirstAccessTokenIsNotReplacedByALaterOne) {
    EXPECT_EQ(Auth::tokensFromCallback("orvanta://x?access_token=&access_token=b"), std::nullopt);
}

TEST(CallbackTokens, ARefreshTokenWithoutValueCountsAsAbsent) {
    for (const char *url : {"orvanta://x?access_token=a&refresh_token",
                            "orvanta://x?access_token=a&refresh_token="}) {
        const auto tokens = Auth::tokensFromCallback(QString::fromLatin1(url));
        ASSERT_TRUE(tokens) << url;
        EXPECT_EQ(tokens->refresh, std::nullopt) << url;
    }
}

TEST(CallbackTokens, TokensThatWouldBreakAHeaderAreRefused) {
    EXPECT_EQ(Auth::tokensFromCallback("orvanta://x?access_token=a%0D%0AX-Evil:%201"),
              std::nullopt);
    EXPECT_EQ(Auth::tokensFromCallback("orvanta://x?access_token=a&refresh_token=r%0A"),
              std::nullopt);
}

TEST(EmailFromJwt, ReadsTheClaimWhateverThePaddingNeeded) {
    for (int residue : {0, 2, 3}) {
        const QString token =
            jwtWithPayload(payloadWithLengthResidue(QStringLiteral("ada@example.org"), residue));
        EXPECT_EQ(Auth::emailFromJWT(token), "ada@example.org") << "residue " << residue;
    }
}

TEST(EmailFromJwt, APayloadOfLengthOneModuloFourIsUnreadable) {
    const QByteArray payload = payloadWithLengthResidue(QStringLiteral("ada@example.org"), 0);
    EXPECT_EQ(Auth::emailFromJWT(jwtWithPayload(payload + 'A')), std::nullopt);
}

TEST(EmailFromJwt, DecodesTheUrlSafeAlphabet) {
    // Characters whose standard Base64 holds '+' and '/'.
    const QString email = QStringLiteral("?~?>>~~@example.org");
    const QByteArray payload = payloadWithLengthResidue(email, 0);
    ASSERT_TRUE(payload.contains('-') || payload.contains('_'));
    EXPECT_EQ(Auth::emailFromJWT(jwtWithPayload(payload)), email);
}

TEST(EmailFromJwt, GivesNothingWithoutAStringClaim) {
    const auto tokenFor = [](const QJsonObject &claims) {
        return jwtWithPayload(base64Url(QJsonDocument(claims).toJson(QJsonDocument::Compact)));
    };
    EXPECT_EQ(Auth::emailFromJWT(tokenFor({{"sub", "42"}})), std::nullopt);
    EXPECT_EQ(Auth::emailFromJWT(tokenFor({{"email", 42}})), std::nullopt);
    EXPECT_EQ(Auth::emailFromJWT(jwtWithPayload(base64Url("[1,2]"))), std::nullopt);
    EXPECT_EQ(Auth::emailFromJWT(jwtWithPayload(base64Url("not json"))), std::nullopt);
    EXPECT_EQ(Auth::emailFromJWT(jwtWithPayload("!!!!")), std::nullopt);
}

TEST(EmailFromJwt, NeedsAtLeastTwoNonEmptyParts) {
    const QByteArray payload = payloadWithLengthResidue(QStringLiteral("ada@example.org"), 0);
    EXPECT_EQ(Auth::emailFromJWT(QString::fromLatin1(payload)), std::nullopt);
    EXPECT_EQ(Auth::emailFromJWT(QString()), std::nullopt);
    // Empty parts are dropped, so the payload is still the second part that remains.
    EXPECT_EQ(Auth::emailFromJWT(QString::fromLatin1("..hdr.." + payload)), "ada@example.org");
}

struct FakeClock {
    SignInWindow::Clock::time_point now{};
    SignInWindow window() {
        return SignInWindow([this] { return now; });
    }
};

TEST(SignInWindowTest, OpensForFifteenMinutes) {
    FakeClock clock;
    SignInWindow window = clock.window();
    EXPECT_FALSE(window.isOpen());
    window.open();
    EXPECT_TRUE(window.isOpen());
    clock.now += 15min;
    EXPECT_TRUE(window.isOpen());
    clock.now += 1s;
    EXPECT_FALSE(window.isOpen());
}

TEST(SignInWindowTest, ReopeningStartsTheTimeAgainAndClosingEndsIt) {
    FakeClock clock;
    SignInWindow window = clock.window();
    window.open();
    clock.now += 10min;
    window.open();
    clock.now += 10min;
    EXPECT_TRUE(window.isOpen());
    window.close();
    EXPECT_FALSE(window.isOpen());
}

} // namespace
