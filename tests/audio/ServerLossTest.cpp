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
    std::size_t levels = 0;
    recorder.setLevelHandler([&levels](float) { ++levels; });
    ASSERT_TRUE(recorder.start("__default__"));
    ASSERT_TRUE(waitUntil([&] { return levels >= 5; }));
    {
        StalledServer stalled;
        bool stopped = false;
        std::optional<QString> file;
        recorder.stop([&](std::optional<QString> delivered) {
            stopped = true;
            file = delivered;
        });
        EXPECT_TRUE(waitUntil([&] { return stopped; }, 10s)) << "stop hangs on a stalled server";
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
    std::size_t levels = 0;
    recorder.setLevelHandler([&levels](float) { ++levels; });
    ASSERT_TRUE(recorder.start("__default__"));
    MicTester tester;
    tester.start("__default__");
    ASSERT_TRUE(tester.isTesting());
    ASSERT_TRUE(waitUntil([&] { return levels >= 5; }));

    feed.stopSilence();
    ASSERT_EQ(::kill(serverPid(), SIGKILL), 0);
    spinFor(300ms);

    bool stopped = false;
    std::optional<QString> file = QString("unset");
    recorder.stop([&](std::optional<QString> delivered) {
        stopped = true;
        file = delivered;
    });
    ASSERT_TRUE(waitUntil([&] { return stopped; }));
    EXPECT_FALSE(file.has_value());
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
    std::size_t levels = 0;
    recorder.setLevelHandler([&levels](float) { ++levels; });
    ASSERT_TRUE(recorder.start("__default__"));
    ASSERT_TRUE(waitUntil([&] { return levels >= 5; }));

    feed.stopSilence();
    ASSERT_EQ(::kill(server, SIGKILL), 0);
    server = restartServer();
    ASSERT_GT(server, 0);
    std::optional<std::optional<QString>> cut;
    recorder.stop([&](std::optional<QString> delivered) { cut = delivered; });
    ASSERT_TRUE(waitUntil([&] { return cut.has_value(); }));
    EXPECT_FALSE(cut->has_value()) << "a recording cut off by the restart is no recording";

    MicrophoneFeed again;
    levels = 0;
    ASSERT_TRUE(recorder.start("__default__")) << "the new server is used";
    ASSERT_TRUE(waitUntil([&] { return levels >= 5; }));
    std::optional<std::optional<QString>> next;
    recorder.stop([&](std::optional<QString> delivered) { next = delivered; });
    ASSERT_TRUE(waitUntil([&] { return next.has_value(); }));
    ASSERT_TRUE(next->has_value());
    EXPECT_EQ(decodeAudio(**next).codec, "aac");
    recorder.cleanup(**next);
    EXPECT_TRUE(temporaryFiles("orvanta-").isEmpty());
}
