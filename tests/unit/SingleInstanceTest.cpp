#include "SingleInstance.h"
#include "QtPrinters.h"
#include "TempEnvironment.h"

#include <QFileInfo>
#include <QLocalSocket>
#include <QTest>

#include <gtest/gtest.h>

#include <future>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

// Sends from another thread while this one serves, as a second process would.
std::optional<QString> sendFromAnotherThread(const SingleInstance &client, const Request &request,
                                             QString *error) {
    auto sent = std::async(std::launch::async, [&] { return client.send(request, 3s, error); });
    while (sent.wait_for(0ms) != std::future_status::ready)
        QTest::qWait(5);
    return sent.get();
}

class SingleInstanceTest : public ::testing::Test {
protected:
    TempFolder folder;
    QString directory = folder.filePath("runtime/orvanta");
};

TEST_F(SingleInstanceTest, SecondProcessHandsItsRequestToTheFirst) {
    SingleInstance first(directory);
    QString error;
    ASSERT_EQ(first.claim(&error), SingleInstance::Role::Primary) << error.toStdString();
    ASSERT_TRUE(first.listen(&error)) << error.toStdString();
    QList<Request> received;
    first.setHandler([&](const Request &request) {
        received.append(request);
        // An error status is an answer, not a refusal.
        return request.command == Request::Command::Status
                   ? QString("error: refused: Monthly limit reached.\tsigned-in")
                   : QString("ok");
    });
    EXPECT_EQ(QFileInfo(directory).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);

    SingleInstance second(directory);
    ASSERT_EQ(second.claim(&error), SingleInstance::Role::Secondary);
    Request toggle{Request::Command::Toggle, {"orvanta://a", "orvanta://b"}};
    EXPECT_EQ(sendFromAnotherThread(second, toggle, &error), "ok");
    EXPECT_EQ(sendFromAnotherThread(second, {Request::Command::Status, {}}, &error),
              "error: refused: Monthly limit reached.\tsigned-in");
    ASSERT_EQ(received.size(), 2);
    EXPECT_EQ(received[0], toggle);
}

TEST_F(SingleInstanceTest, GarbageOnTheSocketIsRefused) {
    SingleInstance first(directory);
    QString error;
    ASSERT_EQ(first.claim(&error), SingleInstance::Role::Primary);
    ASSERT_TRUE(first.listen(&error)) << error.toStdString();
    bool called = false;
    first.setHandler([&](const Request &) {
        called = true;
        return QString("ok");
    });
    auto reply = std::async(std::launch::async, [&] {
        QLocalSocket socket;
        socket.connectToServer(first.socketPath());
        socket.waitForConnected(3000);
        socket.write("{\"command\":\"rm -rf\"}\n");
        while (!socket.canReadLine() && socket.waitForReadyRead(3000)) {
        }
        return socket.readLine();
    });
    while (reply.wait_for(0ms) != std::future_status::ready)
        QTest::qWait(5);
    EXPECT_EQ(reply.get(), "refused malformed request\n");
    EXPECT_FALSE(called);
}

TEST_F(SingleInstanceTest, LockOfAFinishedInstanceIsTakenOver) {
    {
        SingleInstance first(directory);
        QString error;
        ASSERT_EQ(first.claim(&error), SingleInstance::Role::Primary);
        ASSERT_TRUE(first.listen(&error)) << error.toStdString();
    }
    SingleInstance next(directory);
    QString error;
    EXPECT_EQ(next.claim(&error), SingleInstance::Role::Primary) << error.toStdString();
    ASSERT_TRUE(next.listen(&error)) << error.toStdString();

    SingleInstance client(directory);
    ASSERT_EQ(client.claim(&error), SingleInstance::Role::Secondary);
    EXPECT_EQ(sendFromAnotherThread(client, {}, &error), "") << "no handler yet: an empty answer";
}

TEST_F(SingleInstanceTest, NobodyListeningIsReportedNotAwaitedForever) {
    SingleInstance lonely(directory);
    QString error;
    EXPECT_FALSE(lonely.send({Request::Command::Status, {}}, 200ms, &error).has_value());
    EXPECT_FALSE(error.isEmpty());

    // A query (--status, --quit) does not wait for an instance that may be starting.
    EXPECT_FALSE(lonely
                     .send({Request::Command::Status, {}}, 10s, &error,
                           SingleInstance::Connect::OnlyIfListening)
                     .has_value());
    EXPECT_EQ(error, "not running");

    TempFolder::write(folder.filePath("file"), "x");
    SingleInstance blocked(folder.filePath("file/orvanta"));
    EXPECT_FALSE(blocked.claim(&error).has_value());
    SingleInstance secondary(directory);
    EXPECT_FALSE(secondary.listen(&error)) << "only the lock holder serves";
}

} // namespace
