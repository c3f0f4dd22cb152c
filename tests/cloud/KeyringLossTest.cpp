// The Secret Service locked or gone between sign-in and dictation. Each test takes it away for
// good, so this binary's tests run in a session of their own (see CMakeLists.txt).

#include "ServiceFixture.h"

#include <QDeadlineTimer>
#include <QProcess>

#include <csignal>
#include <cstdlib>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

QStringList logged;

void keepMessage(QtMsgType, const QMessageLogContext &, const QString &message) {
    logged.append(message);
}

bool lockDefaultKeyring() {
    return QProcess::execute("dbus-send",
                             {"--session", "--print-reply", "--dest=org.freedesktop.secrets",
                              "/org/freedesktop/secrets", "org.freedesktop.Secret.Service.Lock",
                              "array:objpath:/org/freedesktop/secrets/aliases/default"}) == 0;
}

bool killKeyring() {
    const char *pid = std::getenv("ORVANTA_TEST_KEYRING_PID");
    return pid && ::kill(pid_t(std::atoi(pid)), SIGKILL) == 0;
}

class KeyringLoss : public ServiceFixture,
                    public ::testing::WithParamInterface<std::pair<const char *, bool (*)()>> {};

} // namespace

TEST_P(KeyringLoss, DictationAsksToSignInAgainWithoutHangingOrLeakingTheToken) {
    const QString access = makeJwt("ada@example.org", "secret-marker-7");
    storeTokens(access, QStringLiteral("refresh-marker-7"));
    connectTo(server.baseUrl());
    ASSERT_TRUE(auth->isSignedIn());
    const QString audioFile = folder.filePath("orvanta-TEST.m4a");
    TempFolder::write(audioFile, "audio");
    server.reply("/transcribe", {200, R"({"text":"should not be reached"})"});

    ASSERT_TRUE(GetParam().second()) << GetParam().first;
    logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepMessage);
    const QDeadlineTimer deadline(60s);
    const TranscribeOutcome outcome = QCoro::waitFor(transcriber->transcribe(audioFile));
    auth->signOut();
    storeTokens(access, std::nullopt);
    qInstallMessageHandler(previous);

    EXPECT_FALSE(deadline.hasExpired()) << "the token store held the dictation up";
    EXPECT_EQ(outcome.error(), TranscribeError::notSignedIn()) << outcome.text().toStdString();
    EXPECT_EQ(server.requestCount(), 0);
    for (const QString &message : logged)
        EXPECT_FALSE(message.contains("marker-7") || message.contains(access))
            << message.toStdString();
}

INSTANTIATE_TEST_SUITE_P(TokenStore, KeyringLoss,
                         ::testing::Values(std::pair{"locked", &lockDefaultKeyring},
                                           std::pair{"gone", &killKeyring}),
                         [](const auto &info) { return std::string(info.param.first); });
