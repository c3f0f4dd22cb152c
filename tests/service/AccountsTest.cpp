#include "Jwt.h"
#include "ServiceProcess.h"
#include "TempEnvironment.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace orvanta::test;

namespace {

// The claims of `token`, or a token of `claims` signed with `key` as the service signs.
QJsonObject claimsOf(const std::string &token) {
    return jwtClaims(QString::fromStdString(token));
}
std::string signedToken(const QJsonObject &claims, const QByteArray &key) {
    return makeJwt(claims, key).toStdString();
}

std::string refreshBody(const std::string &token) {
    return QJsonDocument(QJsonObject{{"refresh_token", token.c_str()}}).toJson().toStdString();
}

class AccountsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ServiceProcess::addUser(data(), "Ada@Example.org", {"--limit", "500"}));
    }

    QString data() const { return m_folder.filePath("data"); }

    TempFolder m_folder;
};

TEST_F(AccountsTest, CommandLineManagesAccountsAndRejectsBadUse) {
    EXPECT_EQ(ServiceProcess::run({"--port", "99999"}).exitCode, 2);
    EXPECT_FALSE(ServiceProcess::addUser(data(), "not-an-address"));
    // A new account needs a password; an existing one keeps its own when none is given.
    EXPECT_EQ(ServiceProcess::run({"add-user", "bob@example.org", "--data", data()}, "").exitCode,
              1);
    const QStringList update{"add-user", "ada@example.org", "--data", data(), "--plan",
                             "pro",      "--limit",         "7"};
    EXPECT_EQ(ServiceProcess::run(update, "").exitCode, 0);

    const auto list = ServiceProcess::run({"list-users", "--data", data()});
    ASSERT_EQ(list.exitCode, 0);
    EXPECT_TRUE(list.output.contains("ada@example.org\tpro\t0\t7")) << list.output.toStdString();
    EXPECT_FALSE(list.output.contains("bob@example.org"));

    // One-click sign-in for anyone who can reach the address is refused.
    const auto exposed =
        ServiceProcess::run({"--data", data(), "--listen", "0.0.0.0", "--local-user", "a@b.c"});
    EXPECT_EQ(exposed.exitCode, 2);
    EXPECT_TRUE(exposed.errors.contains("loopback"));

    ServiceProcess service(data(), {});
    ASSERT_TRUE(service.isServing()) << service.startupOutput().toStdString();
    EXPECT_FALSE(service.signIn("ada@example.org").access.empty())
        << "updating the plan kept the password";
}

// Signed in with a password, and with nothing but a token that the service signed for the
// account it names; its own tokens then work once each, rotate and survive a restart.
TEST_F(AccountsTest, PasswordSignInGivesTokensForTheAccountThatRotateAndSurviveARestart) {
    Tokens first, second;
    {
        ServiceProcess service(data(), {});
        ASSERT_TRUE(service.isServing()) << service.startupOutput().toStdString();
        const Reply page = service.get("/signin");
        EXPECT_NE(page.body.find("name=\"password\""), std::string::npos);
        // A browser may not read the page as anything but the HTML it says it is.
        EXPECT_EQ(page.header("X-Content-Type-Options"), "nosniff");
        for (const auto &[email, secret] :
             {std::pair{"ada@example.org", "wrong"}, {"nobody@example.org", password}, {"", ""}}) {
            const Reply refused =
                service.postForm("/signin", {{"email", email}, {"password", secret}});
            EXPECT_EQ(refused.status, 401) << email;
            EXPECT_TRUE(refused.header("Location").empty());
            EXPECT_NE(refused.body.find("Wrong e-mail address or password."), std::string::npos);
        }
        // Addresses compare without regard to case or surrounding spaces.
        first = service.signIn(" ADA@example.org ");
        QJsonObject claims = claimsOf(first.access);
        EXPECT_EQ(claims.value("email").toString(), "ada@example.org");
        EXPECT_EQ(claims.value("exp").toInteger() - claims.value("iat").toInteger(), 3600);
        EXPECT_EQ(
            service.get("/me", bearer(first.access)).json(),
            QJsonObject(
                {{"email", "ada@example.org"}, {"plan", "free"}, {"used", 0}, {"limit", 500}}));
        const Reply manage =
            service.postForm("/manage", {{"email", "ada@example.org"}, {"password", password}});
        EXPECT_NE(service.get("/manage").body.find("name=\"email\""), std::string::npos);
        EXPECT_EQ(manage.status, 200);
        EXPECT_NE(manage.body.find("<dd>free</dd>"), std::string::npos);
        EXPECT_NE(manage.body.find("<dd>500</dd>"), std::string::npos);
        EXPECT_EQ(service.postForm("/manage", {{"email", "ada@example.org"}}).status, 401);

        // The rules of the token itself are TokenService's; here: that it is the account's own.
        const QByteArray secret = TempFolder::read(data() + "/token-secret");
        EXPECT_EQ(service.get("/me", bearer(signedToken(claims, secret))).status, 200);
        claims["email"] = "mallory@example.org";
        EXPECT_EQ(service.get("/me", bearer(signedToken(claims, secret))).status, 401);
        EXPECT_EQ(service.post("/transcribe", "{}", bearer(signedToken(claims, secret))).status,
                  401);
        EXPECT_EQ(service.get("/me").status, 401);
        // Another scheme as long as "Bearer ", so only the scheme can refuse it.
        EXPECT_EQ(service.get("/me", {{"Authorization", "Digest " + first.access}}).status, 401);
        EXPECT_EQ(service.get("/me", {{"Authorization", "Bearer "}}).status, 401);

        const Reply renewed = service.post("/auth/refresh", refreshBody(first.refresh));
        ASSERT_EQ(renewed.status, 200);
        second = {renewed.json()["access_token"].toString().toStdString(),
                  renewed.json()["refresh_token"].toString().toStdString()};
        EXPECT_NE(second.refresh, first.refresh);
        EXPECT_EQ(service.get("/me", bearer(second.access)).status, 200);
        for (const std::string &used : {first.refresh, std::string("made-up")}) {
            const Reply reused = service.post("/auth/refresh", refreshBody(used));
            EXPECT_EQ(reused.status, 401) << used;
            EXPECT_FALSE(reused.error().isEmpty());
        }
        for (const std::string bad : {"not json", "[]", R"({"refresh_token": 5})"}) {
            const Reply answer = service.post("/auth/refresh", bad);
            EXPECT_EQ(answer.status, 400) << bad;
            EXPECT_FALSE(answer.error().isEmpty());
        }
        EXPECT_EQ(service.stop(), 0) << "a stop signal ends the service cleanly";
    }
    ServiceProcess again(data(), {});
    ASSERT_TRUE(again.isServing()) << again.startupOutput().toStdString();
    EXPECT_EQ(again.get("/me", bearer(first.access)).status, 200);
    EXPECT_EQ(again.post("/auth/refresh", refreshBody(second.refresh)).status, 200);
    EXPECT_EQ(again.post("/auth/refresh", refreshBody(second.refresh)).status, 401);
}

TEST_F(AccountsTest, LocalUserSignsInWithOneClickFromThisComputerOnly) {
    ServiceProcess service(data(), {"--local-user", "me@example.org"});
    ASSERT_TRUE(service.isServing()) << service.startupOutput().toStdString();

    EXPECT_EQ(service.get("/signin").body.find("name=\"password\""), std::string::npos);
    const Tokens tokens = service.signIn();
    EXPECT_FALSE(tokens.refresh.empty());
    EXPECT_EQ(claimsOf(tokens.access).value("email").toString(), "me@example.org");
    // Through a proxy, or from a page that rebound a host name to this address.
    for (const httplib::Headers &headers : {httplib::Headers{{"Host", "evil.example:8787"}},
                                            httplib::Headers{{"X-Forwarded-For", "203.0.113.9"}}}) {
        const Reply refused = service.postForm("/signin", {}, headers);
        EXPECT_EQ(refused.status, 403);
        EXPECT_TRUE(refused.header("Location").empty());
    }
}

TEST(ServiceDataFolder, ADamagedDatabaseStopsTheServiceAndStaysUntouched) {
    TempFolder folder;
    const QString data = folder.filePath("data");
    ASSERT_EQ(ServiceProcess::run({"list-users", "--data", data}).exitCode, 0);
    const QByteArray garbage(8192, '\x5a');
    TempFolder::write(data + "/service.db", garbage);
    ::unlink((data + "/service.db-wal").toLocal8Bit().constData());
    ::unlink((data + "/service.db-shm").toLocal8Bit().constData());

    ServiceProcess service(data, {});
    EXPECT_FALSE(service.isServing());
    EXPECT_TRUE(service.startupOutput().contains("database"))
        << service.startupOutput().toStdString();
    EXPECT_NE(ServiceProcess::run({"list-users", "--data", data}).exitCode, 0);
    EXPECT_EQ(TempFolder::read(data + "/service.db"), garbage);
}

} // namespace
