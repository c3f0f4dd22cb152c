// Runs against an HTTP server in this process and the private Secret Service.

#include "ServiceFixture.h"

#include <QSignalSpy>

#include <qcoro/qcorotask.h>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

const QString refreshPath = QStringLiteral("/auth/refresh");
const QString mePath = QStringLiteral("/me");

QString callback(const QString &access, const QString &refresh = QString()) {
    QString url = QStringLiteral("orvanta://auth?access_token=") + access;
    if (!refresh.isEmpty())
        url += QStringLiteral("&refresh_token=") + refresh;
    return url;
}

class AuthTest : public ServiceFixture {
protected:
    AuthTest() { connectTo(server.baseUrl()); }

    std::optional<QString> refresh() { return QCoro::waitFor(auth->refreshIfPossible()); }
    void updateUsage() { QCoro::waitFor(auth->updateUsage()); }

    void signInThroughTheBrowser(const QString &access, const QString &refreshToken) {
        auth->openSignInPage();
        auth->handleCallback(callback(access, refreshToken));
        settle();
        ASSERT_TRUE(auth->isSignedIn());
    }
};

TEST_F(AuthTest, StartsSignedInWhenATokenIsStored) {
    EXPECT_FALSE(auth->isSignedIn());
    EXPECT_EQ(auth->email(), std::nullopt);
    storeTokens(makeJwt("grace@example.org"), std::nullopt);
    connectTo(server.baseUrl());
    EXPECT_TRUE(auth->isSignedIn());
    EXPECT_EQ(auth->email(), "grace@example.org");
    EXPECT_EQ(auth->plan(), "free");
    EXPECT_EQ(auth->wordLimit(), 1000);
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(AuthTest, ACallbackSignsInOnlyAfterTheSignInPageWasOpened) {
    const QString token = makeJwt("ada@example.org");
    QSignalSpy signedIn(auth.get(), &Auth::isSignedInChanged);

    auth->handleCallback(callback(token, QStringLiteral("r1")));
    EXPECT_FALSE(auth->isSignedIn());
    EXPECT_EQ(storedAccess(), std::nullopt);

    auth->openSignInPage();
    ASSERT_EQ(host.opened.size(), 1);
    EXPECT_EQ(host.opened[0], QUrl(server.baseUrl() + "/signin"));
    auth->handleCallback(callback(token, QStringLiteral("r1")));
    settle();
    EXPECT_TRUE(auth->isSignedIn());
    EXPECT_EQ(auth->email(), "ada@example.org");
    EXPECT_EQ(storedAccess(), token);
    EXPECT_EQ(storedRefresh(), "r1");
    EXPECT_EQ(host.broughtToFront, 1);
    EXPECT_EQ(signedIn.count(), 1);

    // The pending sign-in has been used up: a page cannot swap in other tokens afterwards.
    auth->handleCallback(callback(makeJwt("mallory@example.org"), QStringLiteral("r2")));
    EXPECT_EQ(auth->email(), "ada@example.org");
    EXPECT_EQ(storedAccess(), token);
    EXPECT_EQ(host.broughtToFront, 1);
}

TEST_F(AuthTest, NoCallbackIsTakenLongAfterOpeningOrWithoutAServiceAddress) {
    SignInWindow::Clock::time_point now{};
    Auth timed(*config, host, network, SignInWindow([&now] { return now; }));
    timed.openSignInPage();
    now += 15min + 1s;
    timed.handleCallback(callback(makeJwt("ada@example.org")));
    EXPECT_FALSE(timed.isSignedIn());

    connectTo(QStringLiteral("https://REPLACE_ME.invalid"));
    host.opened.clear();
    auth->openSignInPage();
    auth->handleCallback(callback(makeJwt("ada@example.org")));
    EXPECT_TRUE(host.opened.isEmpty());
    EXPECT_FALSE(auth->isSignedIn());
    EXPECT_EQ(storedAccess(), std::nullopt);
}

TEST_F(AuthTest, BadCallbacksChangeNothingAndKeepTheSignInPending) {
    signInThroughTheBrowser(makeJwt("ada@example.org", "1"), QStringLiteral("r1"));
    auth->openSignInPage();
    for (const char *url : {"orvanta://auth?access_token=", "Orvanta://auth?access_token=x",
                            "https://auth?access_token=x", "orvanta://auth?refresh_token=r9"})
        auth->handleCallback(QString::fromLatin1(url));
    EXPECT_EQ(storedAccess(), makeJwt("ada@example.org", "1"));
    EXPECT_EQ(storedRefresh(), "r1");

    // Still pending: a good callback is taken. Without a refresh token the old one goes.
    auth->handleCallback(callback(makeJwt(QString(), "2")));
    EXPECT_EQ(storedAccess(), makeJwt(QString(), "2"));
    EXPECT_EQ(storedRefresh(), std::nullopt);
    EXPECT_TRUE(auth->isSignedIn());
    EXPECT_EQ(auth->email(), std::nullopt);
}

TEST_F(AuthTest, ARenewalKeepsTheOldRefreshTokenUnlessANewOneComes) {
    signInThroughTheBrowser(makeJwt("ada@example.org"), QStringLiteral("r1"));
    const QString second = makeJwt("ada.new@example.org");
    server.reply(refreshPath, {200, QJsonDocument(QJsonObject{{"access_token", second}}).toJson()});
    EXPECT_EQ(refresh(), second);
    EXPECT_EQ(storedAccess(), second);
    EXPECT_EQ(storedRefresh(), "r1");
    EXPECT_EQ(auth->email(), "ada.new@example.org");

    server.reply(refreshPath, {200, R"({"access_token":"third","refresh_token":""})"});
    EXPECT_EQ(refresh(), "third");
    EXPECT_EQ(storedRefresh(), "r1") << "an empty refresh token is none";

    server.reply(refreshPath, {200, R"({"access_token":"fourth","refresh_token":"r2"})"});
    EXPECT_EQ(refresh(), "fourth");
    EXPECT_EQ(storedRefresh(), "r2");
    EXPECT_EQ(auth->email(), std::nullopt);
    EXPECT_TRUE(auth->isSignedIn());
    const auto sent = server.requests(refreshPath);
    ASSERT_EQ(sent.size(), 3);
    EXPECT_TRUE(sent[0].isPost);
    EXPECT_EQ(sent[0].header("Content-Type"), "application/json");
    EXPECT_EQ(sent[2].body, R"({"refresh_token":"r1"})");
}

// Two requests rejected at the same moment: the second waits for the first renewal and
// takes its token; the single-use refresh token goes out once.
TEST_F(AuthTest, RenewalsAskedTogetherShareOneRequest) {
    signInThroughTheBrowser(makeJwt("ada@example.org"), QStringLiteral("r1"));
    server.reply(refreshPath, {200, R"({"access_token":"shared","refresh_token":"r2"})"});
    auto first = auth->refreshIfPossible();
    auto second = auth->refreshIfPossible();
    EXPECT_EQ(QCoro::waitFor(std::move(first)), "shared");
    EXPECT_EQ(QCoro::waitFor(std::move(second)), "shared");
    EXPECT_EQ(server.requests(refreshPath).size(), 1u);

    server.reply(refreshPath, {200, R"({"access_token":"later"})"});
    EXPECT_EQ(refresh(), "later") << "a renewal after the shared one asks again";
    EXPECT_EQ(server.requests(refreshPath).size(), 2u);
}

TEST_F(AuthTest, EveryFailedRenewalSignsOut) {
    const std::vector<ScriptedReply> failures = {{401, R"({"access_token":"x"})"},
                                                 {500, "oops", "text/plain"},
                                                 {200, "not json"},
                                                 {200, R"({"refresh_token":"r"})"},
                                                 {200, R"({"access_token":5})"},
                                                 {200, R"({"access_token":""})"},
                                                 {200, R"({"access_token":"a\r\nX-Injected: 1"})"}};
    for (const ScriptedReply &failure : failures) {
        storeTokens(QStringLiteral("a"), QStringLiteral("r"));
        connectTo(server.baseUrl());
        server.reply(refreshPath, failure);
        EXPECT_EQ(refresh(), std::nullopt) << failure.body.toStdString();
        EXPECT_FALSE(auth->isSignedIn());
        EXPECT_EQ(storedAccess(), std::nullopt);
        EXPECT_EQ(storedRefresh(), std::nullopt);
    }

    storeTokens(QStringLiteral("a"), QStringLiteral("r"));
    connectTo(unusedLocalBase());
    EXPECT_EQ(refresh(), std::nullopt);
    EXPECT_EQ(storedAccess(), std::nullopt);

    storeTokens(QStringLiteral("a"), std::nullopt);
    connectTo(server.baseUrl());
    const int before = server.requestCount();
    EXPECT_EQ(refresh(), std::nullopt);
    EXPECT_FALSE(auth->isSignedIn());
    EXPECT_EQ(server.requestCount(), before);
}

TEST_F(AuthTest, UsageTakesEachWellTypedMemberOnItsOwnAndIgnoresFailures) {
    signInThroughTheBrowser(QStringLiteral("access-1"), QStringLiteral("r1"));
    QSignalSpy planChanged(auth.get(), &Auth::planChanged);
    const auto usageAfter = [this](int status, const QByteArray &body) {
        server.reply(mePath, {status, body});
        updateUsage();
        return std::tuple(auth->plan(), auth->wordsUsed(), auth->wordLimit());
    };

    EXPECT_EQ(usageAfter(200, R"({"plan":"pro"})"), std::tuple("pro", 0, 1000));
    EXPECT_EQ(usageAfter(200, R"({"plan":"pro","used":"12","limit":50000})"),
              std::tuple("pro", 0, 50000));
    EXPECT_EQ(usageAfter(200, R"({"used":120,"limit":2.5,"plan":3})"),
              std::tuple("pro", 120, 50000));
    EXPECT_EQ(planChanged.count(), 1);
    for (const auto &[status, body] : std::vector<std::pair<int, QByteArray>>{
             {401, R"({"plan":"x","used":1})"}, {201, R"({"plan":"x"})"}, {200, R"(["plan"])"}})
        EXPECT_EQ(usageAfter(status, body), std::tuple("pro", 120, 50000)) << status;

    EXPECT_TRUE(auth->isSignedIn());
    EXPECT_EQ(storedAccess(), "access-1");
    EXPECT_EQ(server.requests(refreshPath).size(), 0);
    const auto sent = server.requests(mePath);
    ASSERT_EQ(sent.size(), 6);
    EXPECT_FALSE(sent[0].isPost);
    EXPECT_EQ(sent[0].header("Authorization"), "Bearer access-1");
}

TEST_F(AuthTest, SignOutDeletesTheTokensAndKeepsTheFigures) {
    signInThroughTheBrowser(makeJwt("ada@example.org"), QStringLiteral("r1"));
    server.reply(mePath, {200, R"({"plan":"pro","used":7,"limit":99})"});
    updateUsage();
    QSignalSpy emailChanged(auth.get(), &Auth::emailChanged);

    auth->signOut();

    EXPECT_FALSE(auth->isSignedIn());
    EXPECT_EQ(auth->email(), std::nullopt);
    EXPECT_EQ(emailChanged.count(), 1);
    EXPECT_EQ(storedAccess(), std::nullopt);
    EXPECT_EQ(storedRefresh(), std::nullopt);
    EXPECT_EQ(auth->plan(), "pro");
    EXPECT_EQ(auth->wordsUsed(), 7);
    EXPECT_EQ(auth->wordLimit(), 99);
    // Signed out, there is no usage to ask for.
    updateUsage();
    EXPECT_EQ(server.requests(mePath).size(), 1);

    // Signed out before the store took the sign-in: the sign-out's deletes come last.
    auth->openSignInPage();
    auth->handleCallback(callback(makeJwt("ada@example.org"), QStringLiteral("r3")));
    auth->signOut();
    settle();
    EXPECT_FALSE(auth->isSignedIn());
    EXPECT_EQ(storedAccess(), std::nullopt);
    EXPECT_EQ(storedRefresh(), std::nullopt);
}

} // namespace
