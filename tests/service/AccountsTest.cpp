#include "ServiceProcess.h"
#include "TempEnvironment.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace orvanta::test;

namespace {

constexpr auto password = "correct horse battery staple";

QJsonObject json(const std::string &body) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
}

QJsonObject jwtPayload(const std::string &token) {
    const auto parts = QByteArray::fromStdString(token).split('.');
    if (parts.size() != 3)
        return {};
    return QJsonDocument::fromJson(QByteArray::fromBase64(parts[1], QByteArray::Base64UrlEncoding))
        .object();
}

QByteArray base64Url(const QByteArray &bytes) {
    return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

// A token in the service's own format, signed with `key`.
std::string makeJwt(const QJsonObject &header, const QJsonObject &payload, const QByteArray &key) {
    const QByteArray signedPart = base64Url(QJsonDocument(header).toJson(QJsonDocument::Compact)) +
                                  '.' +
                                  base64Url(QJsonDocument(payload).toJson(QJsonDocument::Compact));
    const QByteArray mac =
        QMessageAuthenticationCode::hash(signedPart, key, QCryptographicHash::Sha256);
    return (signedPart + '.' + base64Url(mac)).toStdString();
}

class AccountsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto added =
            ServiceProcess::run({"add-user", "Ada@Example.org", "--data", data(), "--limit", "500"},
                                QByteArray(password) + "\n");
        ASSERT_EQ(added.exitCode, 0) << added.errors.toStdString();
    }

    QString data() const { return m_folder.filePath("data"); }

    Tokens signIn(ServiceProcess &service, const std::string &email, const std::string &secret) {
        auto client = service.client();
        const auto answer =
            client.Post("/signin", httplib::Params{{"email", email}, {"password", secret}});
        if (!answer || answer->status != 303)
            return {};
        return tokensFromCallback(answer->get_header_value("Location"));
    }

    TempFolder m_folder;
};

TEST_F(AccountsTest, CommandLineManagesAccountsAndRejectsBadUse) {
    const auto help = ServiceProcess::run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.output.contains("add-user EMAIL [--plan free|pro] [--limit N]"));
    EXPECT_EQ(ServiceProcess::run({"--version"}).exitCode, 0);
    EXPECT_EQ(ServiceProcess::run({"--bogus"}).exitCode, 2);
    EXPECT_EQ(ServiceProcess::run({"--port", "99999"}).exitCode, 2);
    EXPECT_EQ(
        ServiceProcess::run({"add-user", "not-an-address", "--data", data()}, "pw\n").exitCode, 2);
    // A new account needs a password; an existing one keeps its own when none is given.
    EXPECT_EQ(ServiceProcess::run({"add-user", "bob@example.org", "--data", data()}, "").exitCode,
              1);
    EXPECT_EQ(
        ServiceProcess::run(
            {"add-user", "ada@example.org", "--data", data(), "--plan", "pro", "--limit", "7"}, "")
            .exitCode,
        0);

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
    EXPECT_FALSE(signIn(service, "ada@example.org", password).access.empty())
        << "updating the plan kept the password";
}

TEST_F(AccountsTest, PasswordSignInRedirectsToTheApplicationWithTokens) {
    ServiceProcess service(data(), {});
    ASSERT_TRUE(service.isServing()) << service.startupOutput().toStdString();
    auto client = service.client();

    const auto page = client.Get("/signin");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("name=\"password\""), std::string::npos);

    for (const auto &[email, secret] :
         {std::pair{"ada@example.org", "wrong"}, {"nobody@example.org", password}, {"", ""}}) {
        const auto refused =
            client.Post("/signin", httplib::Params{{"email", email}, {"password", secret}});
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->status, 401) << email;
        EXPECT_FALSE(refused->has_header("Location"));
        EXPECT_NE(refused->body.find("Wrong e-mail address or password."), std::string::npos);
    }

    // Addresses compare without regard to case or surrounding spaces.
    const Tokens tokens = signIn(service, " ADA@example.org ", password);
    ASSERT_FALSE(tokens.access.empty());
    ASSERT_FALSE(tokens.refresh.empty());
    const QJsonObject claims = jwtPayload(tokens.access);
    EXPECT_EQ(claims.value("email").toString(), "ada@example.org");
    EXPECT_EQ(claims.value("exp").toInteger() - claims.value("iat").toInteger(), 3600);

    const auto me = client.Get("/me", bearer(tokens.access));
    ASSERT_TRUE(me);
    ASSERT_EQ(me->status, 200);
    const QJsonObject usage = json(me->body);
    EXPECT_EQ(usage.value("plan").toString(), "free");
    EXPECT_TRUE(usage.value("used").isDouble());
    EXPECT_EQ(usage.value("used").toInteger(), 0);
    EXPECT_EQ(usage.value("limit").toInteger(), 500);

    const auto manageForm = client.Get("/manage");
    ASSERT_TRUE(manageForm);
    EXPECT_NE(manageForm->body.find("name=\"email\""), std::string::npos);
    const auto manage = client.Post(
        "/manage", httplib::Params{{"email", "ada@example.org"}, {"password", password}});
    ASSERT_TRUE(manage);
    EXPECT_EQ(manage->status, 200);
    EXPECT_NE(manage->body.find("<dd>free</dd>"), std::string::npos);
    EXPECT_NE(manage->body.find("<dd>500</dd>"), std::string::npos);
    const auto manageRefused =
        client.Post("/manage", httplib::Params{{"email", "ada@example.org"}});
    ASSERT_TRUE(manageRefused);
    EXPECT_EQ(manageRefused->status, 401);
}

TEST_F(AccountsTest, LocalUserSignsInWithOneClickFromThisComputerOnly) {
    ServiceProcess service(data(), {"--local-user", "me@example.org"});
    ASSERT_TRUE(service.isServing()) << service.startupOutput().toStdString();
    auto client = service.client();

    const auto page = client.Get("/signin");
    ASSERT_TRUE(page);
    EXPECT_NE(page->body.find("Continue as me@example.org"), std::string::npos);
    EXPECT_EQ(page->body.find("name=\"password\""), std::string::npos);

    const auto signedIn = client.Post("/signin", "", "application/x-www-form-urlencoded");
    ASSERT_TRUE(signedIn);
    EXPECT_EQ(signedIn->status, 303);
    const Tokens tokens = tokensFromCallback(signedIn->get_header_value("Location"));
    ASSERT_FALSE(tokens.refresh.empty());
    EXPECT_EQ(jwtPayload(tokens.access).value("email").toString(), "me@example.org");
    const auto me = client.Get("/me", bearer(tokens.access));
    ASSERT_TRUE(me);
    EXPECT_EQ(me->status, 200);

    // Through a proxy, or from a page that rebound a host name to this address.
    for (const httplib::Headers &headers : {httplib::Headers{{"Host", "evil.example:8787"}},
                                            httplib::Headers{{"X-Forwarded-For", "203.0.113.9"}}}) {
        const auto refused =
            client.Post("/signin", headers, "", "application/x-www-form-urlencoded");
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->status, 403);
        EXPECT_FALSE(refused->has_header("Location"));
    }
}

TEST_F(AccountsTest, RefreshTokensWorkOnceAndRotate) {
    ServiceProcess service(data(), {});
    ASSERT_TRUE(service.isServing()) << service.startupOutput().toStdString();
    auto client = service.client();
    const Tokens first = signIn(service, "ada@example.org", password);
    ASSERT_FALSE(first.refresh.empty());

    auto refresh = [&client](const std::string &token) {
        const QJsonObject body{{"refresh_token", token.c_str()}};
        return client.Post("/auth/refresh", QJsonDocument(body).toJson().toStdString(),
                           "application/json");
    };
    const auto renewed = refresh(first.refresh);
    ASSERT_TRUE(renewed);
    ASSERT_EQ(renewed->status, 200);
    const QJsonObject second = json(renewed->body);
    const std::string secondRefresh = second.value("refresh_token").toString().toStdString();
    const std::string secondAccess = second.value("access_token").toString().toStdString();
    EXPECT_NE(secondRefresh, first.refresh);
    EXPECT_EQ(jwtPayload(secondAccess).value("email").toString(), "ada@example.org");
    const auto me = client.Get("/me", bearer(secondAccess));
    ASSERT_TRUE(me);
    EXPECT_EQ(me->status, 200);

    const auto reused = refresh(first.refresh);
    ASSERT_TRUE(reused);
    EXPECT_EQ(reused->status, 401);
    EXPECT_TRUE(json(reused->body).value("error").isString());
    ASSERT_EQ(refresh(secondRefresh)->status, 200);
    EXPECT_EQ(refresh(secondRefresh)->status, 401);
    EXPECT_EQ(refresh("made-up")->status, 401);

    for (const std::string body : {"not json", "[]", R"({"refresh_token": 5})"}) {
        const auto bad = client.Post("/auth/refresh", body, "application/json");
        ASSERT_TRUE(bad);
        EXPECT_EQ(bad->status, 400) << body;
        EXPECT_TRUE(json(bad->body).value("error").isString());
    }
}

TEST_F(AccountsTest, OnlyUnexpiredTokensSignedWithTheSecretAreAccepted) {
    ServiceProcess service(data(), {});
    ASSERT_TRUE(service.isServing()) << service.startupOutput().toStdString();
    auto client = service.client();
    const Tokens tokens = signIn(service, "ada@example.org", password);
    ASSERT_FALSE(tokens.access.empty());

    const QString secretFile = data() + "/token-secret";
    struct stat info {};
    ASSERT_EQ(::stat(secretFile.toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    const QByteArray secret = TempFolder::read(secretFile);

    QJsonObject header{{"alg", "HS256"}, {"typ", "JWT"}};
    QJsonObject claims = jwtPayload(tokens.access);
    const qint64 now = claims.value("iat").toInteger();
    ASSERT_EQ(client.Get("/me", bearer(makeJwt(header, claims, secret)))->status, 200)
        << "a token made the service's way is accepted";

    QJsonObject expired = claims;
    expired["exp"] = now - 1;
    QJsonObject otherAccount = claims;
    otherAccount["email"] = "mallory@example.org";
    const std::string forged = makeJwt(header, claims, QByteArray(32, 'k'));
    const std::string unsigned_ = makeJwt(QJsonObject{{"alg", "none"}}, claims, secret);
    const std::string tampered = [&] {
        auto parts = QByteArray::fromStdString(tokens.access).split('.');
        parts[1] = base64Url(QJsonDocument(otherAccount).toJson(QJsonDocument::Compact));
        return parts.join('.').toStdString();
    }();

    for (const std::string &token :
         {makeJwt(header, expired, secret), makeJwt(header, otherAccount, secret), forged,
          unsigned_, tampered, std::string("garbage"), std::string("a.b.c")}) {
        for (const char *path : {"/me", "/transcribe"}) {
            const auto answer = std::string(path) == "/me"
                                    ? client.Get(path, bearer(token))
                                    : client.Post(path, bearer(token), "{}", "application/json");
            ASSERT_TRUE(answer);
            EXPECT_EQ(answer->status, 401) << path << " " << token;
        }
    }
    EXPECT_EQ(client.Get("/me")->status, 401);
    EXPECT_EQ(client.Get("/me", {{"Authorization", "Basic " + tokens.access}})->status, 401);
}

TEST_F(AccountsTest, AccountsAndTokensSurviveARestart) {
    Tokens tokens;
    {
        ServiceProcess service(data(), {});
        ASSERT_TRUE(service.isServing()) << service.startupOutput().toStdString();
        tokens = signIn(service, "ada@example.org", password);
        ASSERT_FALSE(tokens.access.empty());
        EXPECT_EQ(service.stop(), 0) << "a stop signal ends the service cleanly";
    }
    ServiceProcess again(data(), {});
    ASSERT_TRUE(again.isServing()) << again.startupOutput().toStdString();
    auto client = again.client();
    EXPECT_EQ(client.Get("/me", bearer(tokens.access))->status, 200);
    const QJsonObject body{{"refresh_token", tokens.refresh.c_str()}};
    EXPECT_EQ(
        client
            .Post("/auth/refresh", QJsonDocument(body).toJson().toStdString(), "application/json")
            ->status,
        200);
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
