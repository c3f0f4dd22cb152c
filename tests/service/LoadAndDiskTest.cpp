#include "ServiceProcess.h"
#include "SmallFileSystem.h"
#include "TempEnvironment.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <vector>

using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

int signInStatus(ServiceProcess &service, const char *email, std::chrono::seconds timeout) {
    auto client = service.client();
    client.set_connection_timeout(timeout);
    client.set_read_timeout(timeout);
    const auto answer =
        client.Post("/signin", httplib::Params{{"email", email}, {"password", password}});
    return answer ? answer->status : -1;
}

} // namespace

TEST(ServiceUnderLoad, SlowClientsDoNotKeepOthersFromSigningIn) {
    TempFolder folder;
    const QString data = folder.filePath("data");
    ASSERT_TRUE(ServiceProcess::addUser(data, "ada@example.org"));
    ServiceProcess service(data, {});
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
    EXPECT_EQ(signInStatus(service, "ada@example.org", 20s), 303);
    EXPECT_EQ(service.get("/signin").status, 200);
    for (int fd : slow)
        ::close(fd);
}

TEST(ServiceOnAFullDisk, AnswersUnavailableAndKeepsEveryAccount) {
    SmallFileSystem disk(4 * 1024 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << disk.reason().toStdString();
    const QString data = disk.path() + "/data";
    ASSERT_TRUE(ServiceProcess::addUser(data, "ada@example.org"));
    ASSERT_TRUE(ServiceProcess::addUser(data, "bob@example.org"));
    {
        ServiceProcess service(data, {});
        ASSERT_TRUE(service.isServing()) << service.startupOutput().toStdString();
        ASSERT_EQ(signInStatus(service, "ada@example.org", 60s), 303);

        ASSERT_GT(disk.fill(), 0);
        // Every sign-in stores a refresh token: several in a row, so that the database's log
        // has to grow into the missing room. Each is taken or refused as unavailable.
        bool refused = false;
        for (int i = 0; i < 8; ++i) {
            const int status =
                signInStatus(service, i % 2 ? "bob@example.org" : "ada@example.org", 60s);
            EXPECT_TRUE(status == 303 || status == 503) << status;
            refused = refused || status == 503;
        }
        EXPECT_TRUE(refused);
        const int refresh = service.post("/auth/refresh", R"({"refresh_token":"x"})").status;
        EXPECT_TRUE(refresh == 401 || refresh == 503) << refresh;

        disk.drain();
        EXPECT_EQ(signInStatus(service, "bob@example.org", 60s), 303);
        EXPECT_EQ(service.stop(), 0);
    }
    const CommandResult listed = ServiceProcess::run({"list-users", "--data", data});
    ASSERT_EQ(listed.exitCode, 0) << listed.errors.toStdString();
    EXPECT_TRUE(listed.output.contains("ada@example.org"));
    EXPECT_TRUE(listed.output.contains("bob@example.org"));
    ServiceProcess again(data, {});
    ASSERT_TRUE(again.isServing()) << again.startupOutput().toStdString();
    EXPECT_EQ(signInStatus(again, "ada@example.org", 60s), 303);
}
