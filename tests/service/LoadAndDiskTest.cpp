#include "ServiceProcess.h"
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
