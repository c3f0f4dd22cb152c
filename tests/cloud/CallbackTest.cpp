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

std::optional<QString> accessOf(const char *url) {
    const auto tokens = Auth::tokensFromCallback(QString::fromLatin1(url));
    return tokens ? std::optional(tokens->access) : std::nullopt;
}

TEST(CallbackTokens, OnlyTheSchemeAndTheTwoParametersMatter) {
    const auto tokens =
        Auth::tokensFromCallback("orvanta://any/path?state=x&access_token=a.b&refresh_token=r%2B1");
    ASSERT_TRUE(tokens);
    EXPECT_EQ(tokens->access, "a.b");
    EXPECT_EQ(tokens->refresh, "r+1");
    EXPECT_EQ(accessOf("orvanta:?access_token=a"), "a");
}

TEST(CallbackTokens, OtherSchemesAndEmptyAccessTokensAreNoCallback) {
    for (const char *url :
         {"Orvanta://x?access_token=a", "ORVANTA://x?access_token=a", "https://x?access_token=a",
          "orvantax://x?access_token=a", "//x?access_token=a", "orvanta://x", "orvanta://x?",
          "orvanta://x?access_token=", "orvanta://x?access_token", "orvanta://x?refresh_token=r",
          "orvanta://x?Access_Token=a", "orvanta://x?access_token=&access_token=b"})
        EXPECT_EQ(accessOf(url), std::nullopt) << url;
}

TEST(CallbackTokens, TheFirstOfRepeatedItemsWinsAndAnEmptyRefreshIsAbsent) {
    const auto tokens = Auth::tokensFromCallback(
        "orvanta://x?access_token=first&access_token=second&refresh_token=r1&refresh_token=r2");
    ASSERT_TRUE(tokens);
    EXPECT_EQ(tokens->access, "first");
    EXPECT_EQ(tokens->refresh, "r1");
    for (const char *url :
         {"orvanta://x?access_token=a&refresh_token", "orvanta://x?access_token=a&refresh_token="})
        EXPECT_EQ(Auth::tokensFromCallback(QString::fromLatin1(url))->refresh, std::nullopt) << url;
}

TEST(CallbackTokens, TokensThatWouldBreakAHeaderAreRefused) {
    EXPECT_EQ(accessOf("orvanta://x?access_token=a%0D%0AX-Evil:%201"), std::nullopt);
    EXPECT_EQ(accessOf("orvanta://x?access_token=a&refresh_token=r%0A"), std::nullopt);
}

TEST(EmailFromJwt, ReadsTheClaimWhateverThePaddingNeeded) {
    for (int residue : {0, 2, 3}) {
        const QString token =
            jwtWithPayload(payloadWithLengthResidue(QStringLiteral("ada@example.org"), residue));
        EXPECT_EQ(Auth::emailFromJWT(token), "ada@example.org") << "residue " << residue;
    }
    const QByteArray complete = payloadWithLengthResidue(QStringLiteral("ada@example.org"), 0);
    EXPECT_EQ(Auth::emailFromJWT(jwtWithPayload(complete + 'A')), std::nullopt);
}

TEST(EmailFromJwt, DecodesTheUrlSafeAlphabet) {
    // Characters whose standard Base64 holds '+' and '/'.
    const QString email = QStringLiteral("?~?>>~~@example.org");
    const QByteArray payload = payloadWithLengthResidue(email, 0);
    ASSERT_TRUE(payload.contains('-') || payload.contains('_'));
    EXPECT_EQ(Auth::emailFromJWT(jwtWithPayload(payload)), email);
}

TEST(EmailFromJwt, GivesNothingWithoutAStringClaimInASecondPart) {
    const auto tokenFor = [](const QByteArray &json) { return jwtWithPayload(base64Url(json)); };
    for (const QString &token : {tokenFor(R"({"sub":"42"})"), tokenFor(R"({"email":42})"),
                                 tokenFor("[1,2]"), tokenFor("not json"), jwtWithPayload("!!!!"),
                                 QString::fromLatin1(base64Url("{}")), QString()})
        EXPECT_EQ(Auth::emailFromJWT(token), std::nullopt) << token.toStdString();
    // Empty parts are dropped: the payload is the second part that remains.
    const QByteArray payload = payloadWithLengthResidue(QStringLiteral("ada@example.org"), 0);
    EXPECT_EQ(Auth::emailFromJWT(QString::fromLatin1("..hdr.." + payload)), "ada@example.org");
}

TEST(SignInWindowTest, StaysOpenFifteenMinutesFromTheLastOpening) {
    SignInWindow::Clock::time_point now{};
    SignInWindow window([&now] { return now; });
    EXPECT_FALSE(window.isOpen());
    window.open();
    now += 10min;
    window.open();
    now += 15min;
    EXPECT_TRUE(window.isOpen());
    now += 1s;
    EXPECT_FALSE(window.isOpen());
    window.open();
    window.close();
    EXPECT_FALSE(window.isOpen());
}

} // namespace
