#include "Jwt.h"
#include "ServiceProcess.h"
#include "TempEnvironment.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

using namespace orvanta::test;

namespace {

std::string refreshBody(const std::string &token) {
    return QJsonDocument(QJsonObject{{"refresh_token", token.c_str()}}).toJson().toStdString();
}

// Accounts from the command line; a password, or a token the service signed for the account it
// names, signs in; refresh tokens work once each, rotate and survive a restart.
TEST(Accounts, CommandLineAndPasswordSignInGiveTokensThatRotateAndSurviveARestart) {
    const TempFolder folder;
    const QString data = folder.filePath("data");
    ASSERT_TRUE(ServiceProcess::addUser(data, "Ada@Example.org", {"--limit", "500"}));
    EXPECT_FALSE(ServiceProcess::addUser(data, "not-an-address"));
    // A new account needs a password; an existing one keeps its own when none is given.
    EXPECT_EQ(ServiceProcess::run({"add-user", "bob@example.org", "--data", data}, "").exitCode, 1);
    const QStringList update{"add-user", "ada@example.org", "--data", data, "--plan",
                             "pro",      "--limit",         "7"};
    EXPECT_EQ(ServiceProcess::run(update, "").exitCode, 0);
    const auto list = ServiceProcess::run({"list-users", "--data", data});
    ASSERT_EQ(list.exitCode, 0);
    EXPECT_TRUE(list.output.contains("ada@example.org\tpro\t0\t7")) << list.output.toStdString();
    EXPECT_FALSE(list.output.contains("bob@example.org"));
    // One-click sign-in for anyone who can reach the address is refused.
    const auto exposed =
        ServiceProcess::run({"--data", data, "--listen", "0.0.0.0", "--local-user", "a@b.c"});
    EXPECT_EQ(exposed.exitCode, 2);
    EXPECT_TRUE(exposed.errors.contains("loopback"));

    Tokens first, second;
    {
        ServiceProcess service(data, {});
        ASSERT_TRUE(service.isServing()) << service.startupOutput().toStdString();
        // A browser may not read the page as anything but the HTML it says it is.
        EXPECT_EQ(service.get("/signin").header("X-Content-Type-Options"), "nosniff");
        for (const auto &[email, secret] :
             {std::pair{"ada@example.org", "wrong"}, {"nobody@example.org", password}, {"", ""}}) {
            const Reply refused =
                service.postForm("/signin", {{"email", email}, {"password", secret}});
            EXPECT_EQ(refused.status, 401) << email;
            EXPECT_TRUE(refused.header("Location").empty());
        }
        // Addresses compare without regard to case or surrounding spaces; updating the plan
        // kept the password.
        first = service.signIn(" ADA@example.org ");
        EXPECT_EQ(service.get("/me", bearer(first.access)).json(),
                  QJsonObject(
                      {{"email", "ada@example.org"}, {"plan", "pro"}, {"used", 0}, {"limit", 7}}));
        const Reply manage =
            service.postForm("/manage", {{"email", "ada@example.org"}, {"password", password}});
        EXPECT_EQ(manage.status, 200);
        EXPECT_NE(manage.body.find("<dd>7</dd>"), std::string::npos) << "the account's limit";
        EXPECT_EQ(service.postForm("/manage", {{"email", "ada@example.org"}}).status, 401);

        // The rules of the token itself are TokenService's; here: that it is the account's own.
        const QByteArray secret = TempFolder::read(data + "/token-secret");
        QJsonObject claims =
            QJsonDocument::fromJson(
                QByteArray::fromBase64(QByteArray::fromStdString(first.access).split('.').value(1),
                                       QByteArray::Base64UrlEncoding))
                .object();
        EXPECT_EQ(service.get("/me", bearer(makeJwt(claims, secret).toStdString())).status, 200);
        claims["email"] = "mallory@example.org";
        const std::string mallory = makeJwt(claims, secret).toStdString();
        EXPECT_EQ(service.post("/transcribe", "{}", bearer(mallory)).status, 401);
        // Another scheme as long as "Bearer ", so only the scheme can refuse it.
        for (const httplib::Headers &headers :
             {bearer(mallory), httplib::Headers{}, httplib::Headers{{"Authorization", "Bearer "}},
              httplib::Headers{{"Authorization", "Digest " + first.access}}})
            EXPECT_EQ(service.get("/me", headers).status, 401);

        const Reply renewed = service.post("/auth/refresh", refreshBody(first.refresh));
        ASSERT_EQ(renewed.status, 200);
        second = {renewed.json()["access_token"].toString().toStdString(),
                  renewed.json()["refresh_token"].toString().toStdString()};
        EXPECT_EQ(service.get("/me", bearer(second.access)).status, 200);
        for (const std::string &used : {first.refresh, std::string("made-up")})
            EXPECT_EQ(service.post("/auth/refresh", refreshBody(used)).status, 401) << used;
        for (const std::string bad : {"not json", "[]", R"({"refresh_token": 5})"})
            EXPECT_EQ(service.post("/auth/refresh", bad).status, 400) << bad;
        EXPECT_EQ(service.stop(), 0) << "a stop signal ends the service cleanly";
    }
    ServiceProcess again(data, {});
    ASSERT_TRUE(again.isServing()) << again.startupOutput().toStdString();
    EXPECT_EQ(again.get("/me", bearer(first.access)).status, 200);
    EXPECT_EQ(again.post("/auth/refresh", refreshBody(second.refresh)).status, 200);
    EXPECT_EQ(again.post("/auth/refresh", refreshBody(second.refresh)).status, 401);
}

TEST(ServiceDataFolder, ADamagedDatabaseStopsTheServiceAndStaysUntouched) {
    TempFolder folder;
    const QString data = folder.filePath("data");
    const QByteArray garbage(8192, '\x5a');
    TempFolder::write(data + "/service.db", garbage);

    ServiceProcess service(data, {});
    EXPECT_FALSE(service.isServing());
    EXPECT_TRUE(service.startupOutput().contains("database"))
        << service.startupOutput().toStdString();
    EXPECT_NE(ServiceProcess::run({"list-users", "--data", data}).exitCode, 0);
    EXPECT_EQ(TempFolder::read(data + "/service.db"), garbage);
}

TEST(ServiceUnderLoad, SlowClientsDoNotKeepOthersFromSigningIn) {
    const TempFolder folder;
    const ServiceProcess service(folder.filePath("data"), {"--local-user", "ada@example.org"});
    ASSERT_TRUE(service.isServing()) << service.startupOutput().toStdString();

    // Clients that start a request and send no more of it: each holds its connection until the
    // service's read time-out of 30 s, far longer than this sign-in may wait.
    const sockaddr_in address{
        AF_INET, htons(std::uint16_t(service.port())), {htonl(INADDR_LOOPBACK)}, {}};
    const std::string start = "POST /signin HTTP/1.1\r\nHost: localhost\r\nX-Slow: z";
    std::vector<int> slow;
    for (int i = 0; i < 200; ++i) {
        slow.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        ASSERT_EQ(
            ::connect(slow.back(), reinterpret_cast<const sockaddr *>(&address), sizeof address),
            0);
        ASSERT_EQ(::send(slow.back(), start.data(), start.size(), MSG_NOSIGNAL),
                  ssize_t(start.size()));
    }
    auto client = service.client();
    client.set_connection_timeout(20, 0);
    client.set_read_timeout(20, 0);
    const auto answer = client.Post("/signin", httplib::Params{});
    EXPECT_EQ(answer ? answer->status : -1, 303);
    for (int fd : slow)
        ::close(fd);
}

} // namespace
