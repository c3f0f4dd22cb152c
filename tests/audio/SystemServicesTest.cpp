#include "AudioDevices.h"
#include "AudioRecorder.h"
#include "AudioTestSupport.h"
#include "MicTester.h"
#include "Permissions.h"
#include "QtPrinters.h"
#include "Sounds.h"
#include "SystemAudio.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

QString outputMute() {
    return pactl({"get-sink-mute", "@DEFAULT_SINK@"});
}
void setOutputMute(bool muted) {
    pactl({"set-sink-mute", "@DEFAULT_SINK@", muted ? "1" : "0"});
}

// Collects the warnings the code under test logs.
class LogCapture {
public:
    LogCapture() {
        s_messages.clear();
        m_previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext &,
                                      const QString &message) { s_messages.append(message); });
    }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    QStringList messages() const { return s_messages; }

private:
    static inline QStringList s_messages;
    QtMessageHandler m_previous;
};

// Records what the default output plays, through the monitor of the "speakers" sink.
class OutputListener {
public:
    OutputListener() {
        m_recorder.start("parec", {"--device=speakers.monitor", "--raw", "--format=s16le",
                                   "--channels=1", "--rate=16000", "--latency-msec=20"});
        if (!m_recorder.waitForStarted())
            throw std::runtime_error("parec did not start");
    }
    ~OutputListener() {
        m_recorder.kill();
        m_recorder.waitForFinished();
    }
    int loudestSample() {
        m_heard += m_recorder.readAllStandardOutput();
        int loudest = 0;
        const auto *samples = reinterpret_cast<const qint16 *>(m_heard.constData());
        for (qsizetype i = 0; i < m_heard.size() / 2; ++i)
            loudest = std::max(loudest, std::abs(int(samples[i])));
        return loudest;
    }

private:
    QProcess m_recorder;
    QByteArray m_heard;
};

// Points every sound-server client of this process at a server that does not exist.
class NoSoundServer {
public:
    NoSoundServer() { ::setenv("PULSE_SERVER", "unix:/nonexistent/pulse/native", 1); }
    ~NoSoundServer() { ::unsetenv("PULSE_SERVER"); }
};

} // namespace

// An audible output is muted for the recording and restored once; one the user muted, before
// or during the recording, is left muted.
TEST(SystemAudio, MutesOnlyAnAudibleOutputAndRestoresItOnce) {
    for (const bool mutedByUser : {false, true}) {
        setOutputMute(mutedByUser);
        SystemAudio audio;
        audio.muteIfNeeded();
        audio.flush();
        EXPECT_EQ(outputMute(), "Mute: yes");
        EXPECT_EQ(audio.didMute(), !mutedByUser);
        audio.unmuteIfNeeded();
        audio.flush();
        EXPECT_EQ(outputMute(), mutedByUser ? "Mute: yes" : "Mute: no");
        EXPECT_FALSE(audio.didMute());
        // Muted by the user after the restore: a second restore must not touch it.
        setOutputMute(true);
        audio.unmuteIfNeeded();
        audio.flush();
        EXPECT_EQ(outputMute(), "Mute: yes");
        setOutputMute(false);
    }
}

// The output muted is the one unmuted, by name, even when the default output changed
// meanwhile; what it muted survives a crash in the state file, and the next start unmutes it.
TEST(SystemAudio, UnmutesTheOutputItMutedByNameAlsoAfterACrash) {
    SystemAudio audio;
    EXPECT_TRUE(audio.stateFile().startsWith(QDir::homePath() + "/.local/state/Orvanta/"));
    audio.muteIfNeeded();
    audio.flush();
    EXPECT_EQ(pactl({"get-sink-mute", "speakers"}), "Mute: yes");
    pactl({"set-default-sink", "virtmic"});
    audio.unmuteIfNeeded();
    audio.flush();
    const QString virtmic = pactl({"get-sink-mute", "virtmic"});
    pactl({"set-default-sink", "speakers"});
    EXPECT_EQ(pactl({"get-sink-mute", "speakers"}), "Mute: no");
    EXPECT_EQ(virtmic, "Mute: no") << "the new default was never muted";
    EXPECT_FALSE(QFile::exists(audio.stateFile()));

    {
        SystemAudio crashing;
        crashing.muteIfNeeded();
        crashing.flush();
        EXPECT_TRUE(QFile::exists(crashing.stateFile()));
    } // gone without unmuting, as in a crash
    pactl({"set-default-sink", "virtmic"});
    SystemAudio next;
    next.restoreAfterEarlierRun();
    next.flush();
    pactl({"set-default-sink", "speakers"});
    EXPECT_EQ(pactl({"get-sink-mute", "speakers"}), "Mute: no");
    EXPECT_FALSE(QFile::exists(next.stateFile()));
    next.restoreAfterEarlierRun();
    next.flush();
    EXPECT_EQ(pactl({"get-sink-mute", "speakers"}), "Mute: no");
}

TEST(Sounds, PlaysOurSoundsOnTheDefaultOutputAndIgnoresOtherNames) {
    OutputListener listener;
    Sounds sounds;
    sounds.play("Sosumi");
    spinFor(500ms);
    EXPECT_FALSE(pactl({"list", "short", "samples"}).contains("Sosumi"));
    EXPECT_EQ(listener.loudestSample(), 0);

    sounds.play("Glass");
    EXPECT_TRUE(waitUntil([&] { return listener.loudestSample() > 3000; }))
        << "the sound never reached the output";
    EXPECT_TRUE(pactl({"list", "short", "samples"}).contains(Sounds::sampleName("Glass")));

    // Later plays come from the cache.
    sounds.play("Glass");
    sounds.play("Basso");
    EXPECT_TRUE(waitUntil([] {
        return pactl({"list", "short", "samples"}).contains(Sounds::sampleName("Basso"));
    }));
}

// One long-lived connection hears of the microphone coming and going; asking opens none,
// and a request is granted at once while the server offers a microphone.
TEST(Permissions, FollowsTheMicrophoneOnOneConnection) {
    const auto lastClientIndex = [] {
        int last = -1;
        for (const QString &line : pactl({"list", "short", "clients"}).split('\n'))
            last = std::max(last, line.section('\t', 0, 0).toInt());
        return last;
    };
    Permissions permissions;
    ASSERT_TRUE(permissions.isMicrophoneAuthorized());
    const int before = lastClientIndex();
    for (int question = 0; question < 5; ++question)
        EXPECT_TRUE(permissions.isMicrophoneAuthorized());
    std::optional<bool> answer;
    permissions.requestMicrophone([&answer](bool granted) { answer = granted; });
    EXPECT_EQ(answer, true) << "answered before requestMicrophone returned";
    EXPECT_EQ(lastClientIndex(), before + 1) << "only the listing's own connection is new";
    {
        MicrophoneUnplugged unplugged;
        EXPECT_TRUE(waitUntil([&] { return !permissions.isMicrophoneAuthorized(); }));
    }
    EXPECT_TRUE(waitUntil([&] { return permissions.isMicrophoneAuthorized(); }));
}

TEST(NoSoundServer, EveryServiceFailsQuietlyAndAtOnce) {
    NoSoundServer none;
    LogCapture log;

    AudioRecorder recorder;
    EXPECT_FALSE(recorder.start("__default__"));
    EXPECT_TRUE(temporaryFiles("orvanta-").isEmpty());

    Permissions permissions;
    EXPECT_FALSE(permissions.isMicrophoneAuthorized());
    EXPECT_TRUE(permissions.microphones().isEmpty());
    std::optional<bool> answer;
    permissions.requestMicrophone([&answer](bool granted) { answer = granted; });
    EXPECT_EQ(answer, false);

    MicTester tester;
    tester.start("__default__");
    EXPECT_FALSE(tester.isTesting());

    SystemAudio audio;
    audio.muteIfNeeded();
    audio.flush();
    EXPECT_FALSE(audio.didMute()) << "nothing was muted";
    audio.unmuteIfNeeded();
    audio.flush();
    const QStringList failures = log.messages().filter("SystemAudio error: ");
    EXPECT_EQ(failures.size(), 1);

    const qsizetype messagesBeforeSounds = log.messages().size();
    {
        Sounds sounds;
        sounds.play("Tink");
        sounds.play("Basso");
    }
    EXPECT_EQ(log.messages().size(), messagesBeforeSounds) << "no server means silence";
}
