// Runs against an HTTP server in this process and the private Secret Service.

#include "ServiceFixture.h"

using namespace orvanta;
using namespace orvanta::test;

namespace {

const QString refreshPath = QStringLiteral("/auth/refresh");
const QString mePath = QStringLiteral("/me");

QString callback(const QString &access, const QString &refresh = QString()) {
    return "orvanta://auth?access_token=" + access +
           (refresh.isEmpty() ? QString() : "&refresh_token=" + refresh);
}

class AuthTest : public ServiceFixture {
protected:
    AuthTest() { connectTo(server.baseUrl()); }

    std::optional<QString> refresh() { return QCoro::waitFor(auth->refreshIfPossible()); }

    void signInThroughTheBrowser(const QString &access, const QString &refreshToken) {
        auth->openSignInPage();
        auth->handleCallback(callback(access, refreshToken));
        settle();
        ASSERT_TRUE(auth->isSignedIn());
    }
};

// Only the callback of a sign-in this application opened is taken, once; a callback that is
// no sign-in leaves it pending.
TEST_F(AuthTest, ACallbackSignsInOnlyForThePendingSignIn) {
    const QString token = makeJwt("ada@example.org");
    auth->handleCallback(callback(token, QStringLiteral("r1")));
    EXPECT_FALSE(auth->isSignedIn());
    EXPECT_EQ(storedAccess(), std::nullopt);

    auth->openSignInPage();
    EXPECT_EQ(host.opened, QList{QUrl(server.baseUrl() + "/signin")});
    auth->handleCallback(callback(token, QStringLiteral("r1")));
    settle();
    EXPECT_TRUE(auth->isSignedIn());
    EXPECT_EQ(auth->email(), "ada@example.org");
    EXPECT_EQ(stored(), Stored(token, "r1"));
    EXPECT_EQ(host.broughtToFront, 1);

    auth->handleCallback(callback(makeJwt("mallory@example.org"), QStringLiteral("r2")));
    EXPECT_EQ(auth->email(), "ada@example.org");
    EXPECT_EQ(storedAccess(), token);
    EXPECT_EQ(host.broughtToFront, 1);

    // A new sign-in without a refresh token drops the old one.
    auth->openSignInPage();
    auth->handleCallback(callback(makeJwt(QString(), "2")));
    EXPECT_EQ(stored(), Stored(makeJwt(QString(), "2"), std::nullopt));
    EXPECT_TRUE(auth->isSignedIn());
    EXPECT_EQ(auth->email(), std::nullopt);

    connectTo(QStringLiteral("https://REPLACE_ME.invalid"));
    host.opened.clear();
    auth->openSignInPage();
    auth->handleCallback(callback(makeJwt("ada@example.org")));
    EXPECT_TRUE(host.opened.isEmpty()) << "no sign-in without a service address";
    EXPECT_EQ(storedAccess(), makeJwt(QString(), "2"));
}

// Two requests rejected at the same moment share one renewal: the single-use refresh token
// goes out once. An answer without a (non-empty) refresh token keeps the stored one.
TEST_F(AuthTest, RenewalsAskedTogetherShareOneRequestAndKeepTheRefreshTokenUnlessANewOneComes) {
    signInThroughTheBrowser(makeJwt("ada@example.org"), QStringLiteral("r1"));
    const QString second = makeJwt("ada.new@example.org");
    server.reply(refreshPath, {200, QJsonDocument(QJsonObject{{"access_token", second}}).toJson()});
    auto first = auth->refreshIfPossible();
    auto together = auth->refreshIfPossible();
    EXPECT_EQ(QCoro::waitFor(std::move(first)), second);
    EXPECT_EQ(QCoro::waitFor(std::move(together)), second);
    EXPECT_EQ(server.requests(refreshPath).size(), 1u);
    EXPECT_EQ(stored(), Stored(second, "r1"));
    EXPECT_EQ(auth->email(), "ada.new@example.org");

    server.reply(refreshPath, {200, R"({"access_token":"third","refresh_token":""})"});
    EXPECT_EQ(refresh(), "third") << "a renewal after the shared one asks again";
    EXPECT_EQ(stored(), Stored("third", "r1"));
    server.reply(refreshPath, {200, R"({"access_token":"fourth","refresh_token":"r2"})"});
    EXPECT_EQ(refresh(), "fourth");
    EXPECT_EQ(stored(), Stored("fourth", "r2"));
    EXPECT_EQ(auth->email(), std::nullopt);
    EXPECT_TRUE(auth->isSignedIn());
    const auto sent = server.requests(refreshPath);
    ASSERT_EQ(sent.size(), 3);
    EXPECT_TRUE(sent[0].isPost);
    EXPECT_EQ(sent[0].header("Content-Type"), "application/json");
    EXPECT_EQ(sent[2].body, R"({"refresh_token":"r1"})");
}

TEST_F(AuthTest, AStoredTokenSignsInAndEveryFailedRenewalSignsOut) {
    const std::vector<ScriptedReply> failures = {{401, R"({"access_token":"x"})"},
                                                 {500, "oops", "text/plain"},
                                                 {200, "not json"},
                                                 {200, R"({"refresh_token":"r"})"},
                                                 {200, R"({"access_token":5})"},
                                                 {200, R"({"access_token":""})"},
                                                 {200, R"({"access_token":"a\r\nX-Injected: 1"})"},
                                                 {0, "nothing listens"}};
    for (const ScriptedReply &failure : failures) {
        storeTokens(QStringLiteral("a"), QStringLiteral("r"));
        connectTo(failure.status ? server.baseUrl() : QStringLiteral("http://127.0.0.1:1"));
        server.reply(refreshPath, failure);
        EXPECT_EQ(refresh(), std::nullopt) << failure.body.toStdString();
        EXPECT_FALSE(auth->isSignedIn());
        EXPECT_EQ(stored(), Stored(std::nullopt, std::nullopt));
    }

    // A stored token signs in at start, without a request.
    storeTokens(makeJwt("grace@example.org"), std::nullopt);
    const int before = server.requestCount();
    connectTo(server.baseUrl());
    EXPECT_TRUE(auth->isSignedIn());
    EXPECT_EQ(auth->email(), "grace@example.org");
    EXPECT_EQ(refresh(), std::nullopt);
    EXPECT_FALSE(auth->isSignedIn());
    EXPECT_EQ(server.requestCount(), before) << "no refresh token, no request";
}

TEST_F(AuthTest, UsageTakesEachWellTypedMemberOnItsOwnAndIgnoresFailuresUntilSignOut) {
    const QString access = makeJwt("ada@example.org");
    signInThroughTheBrowser(access, QStringLiteral("r1"));
    const auto usageAfter = [this](int status, const QByteArray &body) {
        server.reply(mePath, {status, body});
        QCoro::waitFor(auth->updateUsage());
        return std::tuple(auth->plan(), auth->wordsUsed(), auth->wordLimit());
    };

    EXPECT_EQ(usageAfter(200, R"({"plan":"pro"})"), std::tuple("pro", 0, 1000));
    EXPECT_EQ(usageAfter(200, R"({"plan":"pro","used":"12","limit":50000})"),
              std::tuple("pro", 0, 50000));
    EXPECT_EQ(usageAfter(200, R"({"used":120,"limit":2.5,"plan":3})"),
              std::tuple("pro", 120, 50000));
    for (const auto &[status, body] : std::vector<std::pair<int, QByteArray>>{
             {401, R"({"plan":"x","used":1})"}, {201, R"({"plan":"x"})"}, {200, R"(["plan"])"}})
        EXPECT_EQ(usageAfter(status, body), std::tuple("pro", 120, 50000)) << status;

    EXPECT_TRUE(auth->isSignedIn());
    EXPECT_EQ(storedAccess(), access);
    EXPECT_EQ(server.requests(refreshPath).size(), 0);
    const auto sent = server.requests(mePath);
    ASSERT_EQ(sent.size(), 6);
    EXPECT_EQ(sent[0].header("Authorization"), "Bearer " + access.toLatin1());

    auth->signOut();
    EXPECT_FALSE(auth->isSignedIn());
    EXPECT_EQ(auth->email(), std::nullopt);
    EXPECT_EQ(stored(), Stored(std::nullopt, std::nullopt));
    QCoro::waitFor(auth->updateUsage());
    EXPECT_EQ(server.requests(mePath).size(), 6);

    // Signed out before the store took the sign-in: the sign-out's deletes come last.
    auth->openSignInPage();
    auth->handleCallback(callback(makeJwt("ada@example.org"), QStringLiteral("r3")));
    auth->signOut();
    settle();
    EXPECT_FALSE(auth->isSignedIn());
    EXPECT_EQ(stored(), Stored(std::nullopt, std::nullopt));
}

} // namespace
