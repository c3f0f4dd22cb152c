// A second invocation's command line becomes a request the first process receives by socket.
#include "SingleInstance.h"
#include "CommandLine.h"
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
using Command = Request::Command;

namespace {

ParsedCommandLine parse(const QStringList &arguments) {
    return parseCommandLine(QStringList{"orvanta"} + arguments);
}

TEST(CommandLineTest, EachOptionBecomesItsCommandAndSurvivesTheSocket) {
    using enum Request::Command;
    EXPECT_EQ(parse({}).request->command, Launch);
    const std::pair<const char *, Command> options[] = {
        {"--toggle", Toggle},         {"--start", Start},          {"--stop", Stop},
        {"--cancel", Cancel},         {"--paste-last", PasteLast}, {"--settings", Settings},
        {"--sign-in", SignIn},        {"--status", Status},        {"--quit", Quit},
        {"orvanta://auth?a", Launch},
    };
    for (const auto &[line, command] : options) {
        const QStringList arguments{line};
        const ParsedCommandLine parsed = parse(arguments);
        ASSERT_TRUE(parsed.request.has_value()) << arguments.join(' ').toStdString();
        EXPECT_EQ(parsed.request->command, command);
        EXPECT_EQ(parsed.request->urls, arguments.filter("orvanta://"));
        EXPECT_EQ(Request::fromJson(parsed.request->toJson()), parsed.request);
        EXPECT_EQ(parsed.request->needsRunningInstance(), command == Status || command == Quit);
    }
    for (const QByteArray &line : {QByteArray("{}"), QByteArray("not json"),
                                   QByteArray(R"({"command":"explode","urls":[]})"),
                                   QByteArray(R"({"command":"toggle","urls":[1]})")})
        EXPECT_FALSE(Request::fromJson(line).has_value()) << line.toStdString();
}

// These print, fail or run in the process itself: none reaches a running instance.
TEST(CommandLineTest, HelpVersionDesktopShortcutsAndMistakesStandAlone) {
    const ParsedCommandLine help = parse({"--help"});
    EXPECT_TRUE(help.output.startsWith("Usage: orvanta [options]") && !help.request);
    const ParsedCommandLine install = parse({"--shortcuts", "--install"});
    EXPECT_TRUE(install.desktopShortcuts && install.installShortcuts && !install.request);
    EXPECT_TRUE(parse({"--shortcuts"}).desktopShortcuts &&
                !parse({"--shortcuts"}).installShortcuts);
    for (const QStringList &mistake :
         {QStringList{"--install"}, QStringList{"--start", "--stop"},
          QStringList{"--shortcuts", "--toggle"}, QStringList{"--shortcuts", "orvanta://x"},
          QStringList{"--frobnicate"}}) {
        const ParsedCommandLine parsed = parse(mistake);
        EXPECT_TRUE(!parsed.error.isEmpty() && !parsed.request && !parsed.desktopShortcuts)
            << mistake.join(' ').toStdString();
    }
}

// Runs `work` on another thread while this one serves, as a second process would.
template <typename Work> auto fromAnotherThread(Work work) {
    auto done = std::async(std::launch::async, work);
    while (done.wait_for(0ms) != std::future_status::ready)
        QTest::qWait(5);
    return done.get();
}

class SingleInstanceTest : public ::testing::Test {
protected:
    // Claims the lock and listens, as the first process does.
    void serve(SingleInstance &instance) {
        ASSERT_EQ(instance.claim(&error), SingleInstance::Role::Primary) << error.toStdString();
        ASSERT_TRUE(instance.listen(&error)) << error.toStdString();
    }
    std::optional<QString> send(const Request &request) {
        SingleInstance client(directory);
        EXPECT_EQ(client.claim(&error), SingleInstance::Role::Secondary);
        return fromAnotherThread([&] { return client.send(request, 3s, &error); });
    }

    TempFolder folder;
    QString directory = folder.filePath("runtime/orvanta");
    QString error;
};

TEST_F(SingleInstanceTest, SecondProcessHandsItsRequestToTheFirstAndGarbageIsRefused) {
    SingleInstance first(directory);
    serve(first);
    EXPECT_EQ(QFileInfo(directory).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);
    EXPECT_EQ(send({}), "") << "no handler yet: an empty answer";
    QList<Request> received;
    first.setHandler([&](const Request &request) {
        received.append(request);
        // An error status is an answer, not a refusal.
        return request.command == Request::Command::Status
                   ? QString("error: refused: Monthly limit reached.\tsigned-in")
                   : QString("ok");
    });
    const Request toggle{Request::Command::Toggle, {"orvanta://a", "orvanta://b"}};
    EXPECT_EQ(send(toggle), "ok");
    EXPECT_EQ(send({Request::Command::Status, {}}),
              "error: refused: Monthly limit reached.\tsigned-in");
    ASSERT_EQ(received.size(), 2);
    EXPECT_EQ(received[0], toggle);

    const QByteArray reply = fromAnotherThread([&] {
        QLocalSocket socket;
        socket.connectToServer(first.socketPath());
        socket.waitForConnected(3000);
        socket.write("{\"command\":\"rm -rf\"}\n");
        while (!socket.canReadLine() && socket.waitForReadyRead(3000)) {
        }
        return socket.readLine();
    });
    EXPECT_EQ(reply, "refused malformed request\n");
    EXPECT_EQ(received.size(), 2);
}

TEST_F(SingleInstanceTest, LockOfAFinishedInstanceIsTakenOverAndNobodyListeningIsReported) {
    SingleInstance lonely(directory);
    // A query (--status, --quit) does not wait for an instance that may be starting.
    EXPECT_FALSE(lonely
                     .send({Request::Command::Status, {}}, 10s, &error,
                           SingleInstance::Connect::OnlyIfListening)
                     .has_value());
    EXPECT_EQ(error, "not running");
    EXPECT_FALSE(lonely.listen(&error)) << "only the lock holder serves";
    {
        SingleInstance first(directory);
        serve(first);
    }
    SingleInstance next(directory);
    serve(next);
}

} // namespace
