#include "AudioRecorder.h"
#include "AudioTestSupport.h"
#include "MicTester.h"
#include "Permissions.h"
#include "QtPrinters.h"
#include "Sounds.h"

#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

pid_t serverPid() {
    const char *pid = std::getenv("ORVANTA_TEST_PULSE_PID");
    return pid ? pid_t(std::atoi(pid)) : 0;
}

// Freezes the sound server for as long as it lives.
class StalledServer {
public:
    StalledServer() { ::kill(serverPid(), SIGSTOP); }
    ~StalledServer() { ::kill(serverPid(), SIGCONT); }
};

// Starts a new server in place of a killed one; returns its PID.
pid_t restartServer() {
    QProcess restart;
    restart.start("/bin/sh", {"-c", qEnvironmentVariable("ORVANTA_TEST_PULSE_RESTART")});
    if (!restart.waitForFinished(30000) || restart.exitCode() != 0) {
        ADD_FAILURE() << "restarting the sound server failed: "
                      << restart.readAllStandardError().toStdString();
        return 0;
    }
    return pid_t(restart.readAllStandardOutput().trimmed().toInt());
}

} // namespace

// These tests run in order: the later ones kill the server.
TEST(ServerLoss, AStalledServerNeitherHangsStartNorStop) {
    ASSERT_GT(serverPid(), 0) << "run me through with-pulseaudio.sh";
    MicrophoneFeed feed;
    AudioRecorder recorder;
    ASSERT_TRUE(startHearing(recorder));
    {
        StalledServer stalled;
        const std::optional<QString> file = stopAndWait(recorder);
        // What arrived before the server stalled is kept.
        ASSERT_TRUE(file.has_value());
        EXPECT_EQ(decodeAudio(*file).codec, "aac");
        recorder.cleanup(*file);

        // Asking a frozen server gives up after a bounded wait.
        EXPECT_FALSE(recorder.start("__default__"));
        EXPECT_TRUE(temporaryFiles("orvanta-").isEmpty());
        EXPECT_FALSE(Permissions().isMicrophoneAuthorized());
    }
}

TEST(ServerLoss, AKilledServerEndsTheRecordingAsAFailure) {
    ASSERT_GT(serverPid(), 0) << "run me through with-pulseaudio.sh";
    MicrophoneFeed feed;
    AudioRecorder recorder;
    ASSERT_TRUE(startHearing(recorder));
    MicTester tester;
    tester.start("__default__");
    ASSERT_TRUE(tester.isTesting());

    feed.stopSilence();
    ASSERT_EQ(::kill(serverPid(), SIGKILL), 0);
    spinFor(300ms);

    EXPECT_FALSE(stopAndWait(recorder).has_value());
    tester.stop();
    EXPECT_EQ(tester.level(), 0.0f);
    EXPECT_TRUE(waitUntil([] {
        return temporaryFiles("orvanta-").isEmpty() && temporaryFiles("ov-mictest-").isEmpty();
    })) << "a broken recording leaves no file behind";

    EXPECT_FALSE(recorder.start("__default__"));
    Sounds sounds;
    sounds.play("Basso");
}

TEST(ServerLoss, ARecordingCutByARestartFailsAndTheNextOneUsesTheNewServer) {
    pid_t server = restartServer();
    ASSERT_GT(server, 0);
    MicrophoneFeed feed;
    AudioRecorder recorder;
    ASSERT_TRUE(startHearing(recorder));

    feed.stopSilence();
    ASSERT_EQ(::kill(server, SIGKILL), 0);
    server = restartServer();
    ASSERT_GT(server, 0);
    EXPECT_FALSE(stopAndWait(recorder).has_value())
        << "a recording cut off by the restart is no recording";

    MicrophoneFeed again;
    ASSERT_TRUE(startHearing(recorder)) << "the new server is used";
    const std::optional<QString> next = stopAndWait(recorder);
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(decodeAudio(*next).codec, "aac");
    recorder.cleanup(*next);
    EXPECT_TRUE(temporaryFiles("orvanta-").isEmpty());
}
