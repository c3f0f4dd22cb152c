// Against a private sound server (tests/scripts/with-pulseaudio.sh).
#include "AudioRecorder.h"
#include "AudioTestSupport.h"
#include "CaptureSession.h"
#include "MicTester.h"
#include "Permissions.h"
#include "QtPrinters.h"
#include "Sounds.h"
#include "SystemAudio.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

// Processes Qt events until `done` answers true; false after `timeout`.
bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout = 10s) {
    return QTest::qWaitFor(done, int(timeout.count()));
}

QString pactl(const QStringList &arguments) {
    return QString::fromUtf8(runTool("pactl", arguments).value_or(QByteArray())).trimmed();
}

// The RMS level of each whole window of `window` samples, in order.
std::vector<double> windowDecibels(const std::vector<float> &samples, std::size_t window) {
    std::vector<double> levels;
    for (auto start = samples.begin(); samples.end() - start >= long(window); start += long(window))
        levels.push_back(rmsDecibels({start, start + long(window)}));
    return levels;
}

double loudestWindow(const QString &file) {
    const std::vector<double> levels =
        windowDecibels(decodeAudio(file), probeAudio(file).value("sample_rate").toUInt() / 20);
    return levels.empty() ? -INFINITY : *std::max_element(levels.begin(), levels.end());
}

// Files in the recordings' folder whose names start with `prefix`.
QStringList temporaryFiles(const QString &prefix) {
    return QDir(CaptureSession::recordingDirectory()).entryList({prefix + "*"}, QDir::Files);
}

// Plays digital silence into the test microphone for as long as it lives, so that the
// microphone delivers audio steadily.
struct MicrophoneFeed {
    MicrophoneFeed() {
        silence.start(
            "pacat", {"--playback", "--device=virtmic", "--raw", "--latency-msec=20", "/dev/zero"});
        if (!silence.waitForStarted())
            throw std::runtime_error("pacat did not start");
        // An idle null sink renders in blocks of up to two seconds unless a client asks for
        // low latency, and the remapped source drops what comes before its first block. Low
        // latency and one warm-up read make the test microphone deliver from the moment a
        // stream opens.
        [[maybe_unused]] static const bool warm = [] {
            QProcess reader;
            reader.start("parec", {"--device=vmic", "--raw", "--latency-msec=20"});
            reader.waitForStarted();
            QElapsedTimer clock;
            clock.start();
            for (qint64 bytes = 0; clock.elapsed() < 5000 && bytes < 64000;) {
                reader.waitForReadyRead(100);
                bytes += reader.readAllStandardOutput().size();
            }
            reader.kill();
            return reader.waitForFinished();
        }();
    }
    ~MicrophoneFeed() {
        silence.kill();
        silence.waitForFinished();
    }
    QProcess silence;
};

// Starts recording from the default input; true once the microphone's audio arrives.
bool startHearing(AudioRecorder &recorder) {
    auto levels = std::make_shared<int>(0);
    recorder.setLevelHandler([levels](float) { ++*levels; });
    return recorder.start("__default__") && waitUntil([&levels] { return *levels >= 5; });
}

// Starts recording from `device`; true when the start is taken and then fails, once, on the
// main thread, leaving the recorder idle and no file behind.
bool startFailsLate(AudioRecorder &recorder, const QString &device = "__default__") {
    auto failures = std::make_shared<int>(0);
    auto offMain = std::make_shared<bool>(false);
    recorder.setStartFailureHandler([failures, offMain] {
        ++*failures;
        *offMain |= QThread::currentThread() != QCoreApplication::instance()->thread();
    });
    if (!recorder.start(device) || !recorder.isRecording() ||
        !waitUntil([&failures] { return *failures > 0; }))
        return false;
    QTest::qWait(100);
    return *failures == 1 && !*offMain && !recorder.isRecording() &&
           temporaryFiles("orvanta-").isEmpty();
}

// Stops and returns what the recorder hands back, which must come on the main thread and,
// when it is a file, only after stop returned.
std::optional<QString> stopAndWait(AudioRecorder &recorder) {
    std::optional<std::optional<QString>> delivered;
    bool onMain = false;
    recorder.stop([&](std::optional<QString> file) {
        onMain = QThread::currentThread() == QCoreApplication::instance()->thread();
        delivered = std::move(file);
    });
    const bool atOnce = delivered.has_value();
    EXPECT_TRUE(waitUntil([&] { return delivered.has_value(); })) << "no completion after stop";
    EXPECT_TRUE(onMain);
    const std::optional<QString> file = delivered.value_or(std::nullopt);
    EXPECT_FALSE(atOnce && file) << "a file is finished off the main thread, after stop returns";
    return file;
}

QString muteOf(const QString &sink) {
    return pactl({"get-sink-mute", sink});
}
// Mutes or unmutes and waits until the server has done it.
void mute(SystemAudio &audio, bool muted) {
    muted ? audio.muteIfNeeded() : audio.unmuteIfNeeded();
    audio.flush();
}

} // namespace

// A recording of speech goes into a file only the user may read, reports about 20 levels a
// second on the main thread and is as loud as what was spoken. A microphone test alongside,
// of an input that is gone, uses the default one, shows the level and leaves no file.
TEST(AudioRecorder, RecordsSpeechIntoAPrivateAacFileWhileReportingLevels) {
    MicrophoneFeed feed;
    AudioRecorder recorder;
    std::vector<float> levels;
    bool levelsOnMain = true;
    recorder.setLevelHandler([&](float level) {
        levels.push_back(level);
        levelsOnMain =
            levelsOnMain && QThread::currentThread() == QCoreApplication::instance()->thread();
    });

    ASSERT_TRUE(recorder.start("__default__"));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(recorder.lastFile().has_value());
    const QFileInfo info(*recorder.lastFile());
    for (const QFileInfo &item : {info, QFileInfo(info.absolutePath())})
        EXPECT_EQ(item.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                        QFile::ReadOther | QFile::WriteOther | QFile::ExeOther),
                  QFile::Permissions())
            << "only the user may read a recording";
    EXPECT_TRUE(QDir::match("orvanta-*.m4a", info.fileName())) << "what leftovers are";
    MicTester tester;
    tester.start("alsa_input.gone");
    ASSERT_TRUE(tester.isTesting());

    const QString spoken = QDir(QDir::tempPath()).filePath("test-speech.wav");
    ASSERT_TRUE(
        runTool("espeak-ng", {"-w", spoken, "Please write down this short sentence for me."}));
    QProcess speech;
    speech.start("paplay", {"--device=virtmic", spoken});
    // The test is stopped while the speech is loud: its level drops at once.
    EXPECT_TRUE(waitUntil([&] { return tester.level() > 0.45f; })) << "the test shows speech";
    tester.stop();
    EXPECT_EQ(tester.level(), 0.0f);
    ASSERT_TRUE(waitUntil([&] { return speech.state() == QProcess::NotRunning; }));
    EXPECT_TRUE(waitUntil([] { return temporaryFiles("ov-mictest-").isEmpty(); }));
    QTest::qWait(300);
    const double recordedSeconds = double(clock.elapsed()) / 1000.0;
    const std::optional<QString> file = stopAndWait(recorder);
    ASSERT_TRUE(file.has_value());

    const QHash<QString, QString> recorded = probeAudio(*file);
    EXPECT_EQ(recorded.value("codec_name"), "aac"); // the writer's test checks the details
    EXPECT_NEAR(recorded.value("duration").toDouble(), recordedSeconds, recordedSeconds * 0.1);
    EXPECT_NEAR(loudestWindow(*file), loudestWindow(spoken), 6.0);

    EXPECT_TRUE(levelsOnMain);
    EXPECT_GE(double(levels.size()), recordedSeconds * 20 * 0.7);
    EXPECT_LE(double(levels.size()), recordedSeconds * 20 * 1.1);
    EXPECT_GT(*std::max_element(levels.begin(), levels.end()), 0.45f) << "speech reads as speech";

    recorder.cleanup(*file);
}

// What the microphone heard before the stop is in the file, also the part still in the
// source's last block when stop is called: speech that ends 50 ms before the stop is all there.
// A sound card hands its audio over in blocks; here a tone source does, in blocks as long as
// the recording stream's latency. The file's tone is compared with the time since the first
// level came, over takes stopped at different points of a block, so no lucky phase hides a
// lost block.
TEST(AudioRecorder, EverythingHeardUntilTheStopIsInTheFile) {
    // The microphone: a source timed like a sound card (a null source), with a steady tone
    // mixed in through its uplink sink.
    const QString quiet = pactl(
        {"load-module", "module-null-source", "source_name=quiet", "rate=16000", "channels=1"});
    const QString mic = pactl({"load-module", "module-virtual-source", "source_name=tonemic",
                               "master=quiet", "uplink_sink=toneup", "channels=1"});
    ASSERT_FALSE(quiet.isEmpty());
    ASSERT_FALSE(mic.isEmpty());
    const QString tone = QDir(QDir::tempPath()).filePath("test-tone.wav");
    ASSERT_TRUE(runTool("sox", {"-n", "-r", "16000", "-c", "1", "-b", "16", tone, "synth", "60",
                                "sine", "440", "vol", "0.5"}));
    QProcess player;
    player.start("paplay", {"--device=toneup", "--latency-msec=20", tone});
    // A steady reader keeps the source's blocks at the stream's latency and running between
    // the takes, so a take's first block holds at most one block from before its start.
    QProcess reader;
    reader.start("parec", {"--device=tonemic", "--raw", "--latency-msec=50"});
    ASSERT_TRUE(player.waitForStarted());
    ASSERT_TRUE(reader.waitForStarted());
    QTest::qWait(300);
    AudioRecorder recorder;
    // Once, so no take spends its start loading the encoder.
    ASSERT_TRUE(startHearing(recorder));
    recorder.cleanup(stopAndWait(recorder).value_or(QString()));
    for (int take = 0; take < 12; ++take) {
        int levels = 0;
        recorder.setLevelHandler([&levels](float) { ++levels; });
        QElapsedTimer clock;
        clock.start();
        ASSERT_TRUE(recorder.start("tonemic"));
        // The first level comes with the first 50 ms heard. Heard is counted from there, not
        // from the start, whose set-up takes longer on a busy machine.
        ASSERT_TRUE(waitUntil([&levels] { return levels > 0; }));
        const qint64 hearing = clock.elapsed();
        QTest::qWait(300 + 7 * take);
        const qint64 stopping = clock.elapsed();
        const int heardWindows = 5 + int((stopping - hearing) / 10);
        const std::optional<QString> file = stopAndWait(recorder);
        ASSERT_TRUE(file.has_value());
        const std::vector<double> windows = windowDecibels(decodeAudio(*file), 160); // 10 ms
        recorder.cleanup(*file);
        const auto loud = std::count_if(windows.begin(), windows.end(),
                                        [](double level) { return level > -30.0; });
        // Short by at most the last, partial window; a lost block would be up to 50 ms.
        EXPECT_GE(loud, heardWindows - 1)
            << "take " << take << ": " << heardWindows - loud << " windows are missing";
        EXPECT_LE(loud, stopping / 10 + 25) << "take " << take << ": stop ran on";
    }
    for (QProcess *process : {&reader, &player}) {
        process->kill();
        process->waitForFinished();
    }
    pactl({"unload-module", mic});
    pactl({"unload-module", quiet});
}

// What a crashed run left behind goes at the next start; a clean-up deletes only what the
// recorder delivered.
TEST(AudioRecorder, LeftoversOfAnEarlierRunAreRemovedAndNothingElse) {
    const QDir folder(CaptureSession::recordingDirectory());
    const QStringList names{"orvanta-0A1B.m4a", "ov-mictest-0A1B.m4a", "notes.txt",
                            "orvanta-keep.wav"};
    for (const QString &name : names) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    AudioRecorder().cleanup(folder.filePath(names[0]));
    EXPECT_TRUE(QFile::exists(folder.filePath(names[0])));
    AudioRecorder::removeLeftovers();
    for (const QString &name : names)
        EXPECT_EQ(QFile::remove(folder.filePath(name)), !name.endsWith(".m4a"))
            << name.toStdString();
}

// A cancel leaves no file and no levels; a dictation started while the last one is still
// being finished gets a file of its own, which a late clean-up of the last one leaves alone.
TEST(AudioRecorder, EachRecordingKeepsToItsOwnFileThroughCancelsAndOverlaps) {
    MicrophoneFeed feed;
    AudioRecorder recorder;
    std::vector<float> levels;
    recorder.setLevelHandler([&levels](float level) { levels.push_back(level); });
    ASSERT_TRUE(recorder.start("__default__"));
    const QString cancelled = *recorder.lastFile();
    ASSERT_TRUE(waitUntil([&] { return levels.size() >= 4; }));
    recorder.cancel();
    EXPECT_FALSE(recorder.lastFile().has_value());
    const std::size_t levelsAtCancel = levels.size();
    EXPECT_TRUE(waitUntil([&] { return !QFileInfo::exists(cancelled); }));
    QTest::qWait(300);
    EXPECT_EQ(levels.size(), levelsAtCancel);

    ASSERT_TRUE(startHearing(recorder));
    std::optional<std::optional<QString>> first;
    recorder.stop([&first](std::optional<QString> file) { first = std::move(file); });
    ASSERT_TRUE(startHearing(recorder));
    const std::optional<QString> second = stopAndWait(recorder);
    ASSERT_TRUE(waitUntil([&] { return first.has_value(); }));
    ASSERT_TRUE(first->has_value() && second.has_value());
    EXPECT_NE(**first, *second);
    recorder.cleanup(**first);
    EXPECT_FALSE(QFileInfo::exists(**first));
    EXPECT_TRUE(QFileInfo::exists(*second));
    recorder.cleanup(*second);
    EXPECT_TRUE(temporaryFiles("orvanta-").isEmpty());
}

// An audible output is muted for the recording and unmuted once, by name, even when the
// default output changed meanwhile; one the user muted is left muted. What
// it muted survives a crash in the state file, and the next start unmutes it.
TEST(SystemAudio, MutesOnlyAnAudibleOutputAndUnmutesItOnceByNameAlsoAfterACrash) {
    for (const bool mutedByUser : {false, true}) {
        pactl({"set-sink-mute", "speakers", mutedByUser ? "1" : "0"});
        SystemAudio audio;
        mute(audio, true);
        EXPECT_EQ(muteOf("speakers"), "Mute: yes");
        EXPECT_EQ(audio.didMute(), !mutedByUser);
        pactl({"set-default-sink", "virtmic"});
        mute(audio, false);
        pactl({"set-default-sink", "speakers"});
        EXPECT_EQ(muteOf("speakers"), mutedByUser ? "Mute: yes" : "Mute: no");
        EXPECT_EQ(muteOf("virtmic"), "Mute: no") << "the new default was never muted";
        EXPECT_FALSE(QFile::exists(audio.stateFile()));
        pactl({"set-sink-mute", "speakers", "0"});
    }

    {
        SystemAudio crashing;
        mute(crashing, true);
        EXPECT_TRUE(QFile::exists(crashing.stateFile()));
    } // gone without unmuting, as in a crash
    pactl({"set-default-sink", "virtmic"});
    SystemAudio next;
    next.restoreAfterEarlierRun();
    next.flush();
    EXPECT_EQ(muteOf("speakers"), "Mute: no");
    EXPECT_FALSE(QFile::exists(next.stateFile())) << "so the next start finds nothing to do";
    pactl({"set-default-sink", "speakers"});
}

// One long-lived connection follows the server's microphones as they come and go, in the
// server's order; a request is granted at once.
TEST(Permissions, FollowsTheServersMicrophones) {
    Permissions permissions;
    ASSERT_TRUE(permissions.isMicrophoneAuthorized());
    std::optional<bool> answer;
    permissions.requestMicrophone([&answer](bool granted) { answer = granted; });
    EXPECT_EQ(answer, true) << "answered before requestMicrophone returned";
    const QList<AudioInputDevice> alone{{"vmic", "VirtualMic"}};
    EXPECT_EQ(permissions.microphones(), alone);
    const QString spare =
        pactl({"load-module", "module-null-source", "source_name=spare", "description=SpareMic"});
    const QList<AudioInputDevice> both{{"vmic", "VirtualMic"}, {"spare", "SpareMic"}};
    EXPECT_TRUE(waitUntil([&] { return permissions.microphones() == both; }));
    pactl({"unload-module", spare});
    EXPECT_TRUE(waitUntil([&] { return permissions.microphones() == alone; }));
    pactl({"unload-module", "module-remap-source"}); // only monitors are left: no microphones
    EXPECT_TRUE(waitUntil([&] { return !permissions.isMicrophoneAuthorized(); }));
    // Without a microphone to record from: a start fails soon after, and no file is left.
    // One stopped while its failure is on the way completes with nothing, and the failure
    // is not told.
    AudioRecorder recorder;
    EXPECT_TRUE(startFailsLate(recorder, "vmic"));
    int failures = 0;
    recorder.setStartFailureHandler([&failures] { ++failures; });
    ASSERT_TRUE(recorder.start("__default__"));
    for (int ms = 0; ms < 5000 && QFile::exists(*recorder.lastFile()); ++ms)
        QThread::msleep(1); // the failure is sent right after the file goes
    EXPECT_FALSE(stopAndWait(recorder).has_value());
    QTest::qWait(100);
    EXPECT_EQ(failures, 0);
    EXPECT_TRUE(permissions.microphones().isEmpty());
    permissions.requestMicrophone([&answer](bool granted) { answer = granted; });
    EXPECT_EQ(answer, false);
    MicTester tester;
    tester.start("__default__");
    EXPECT_TRUE(waitUntil([&tester] { return !tester.isTesting(); }));
    EXPECT_TRUE(temporaryFiles("orvanta-").isEmpty() && temporaryFiles("ov-mictest-").isEmpty());
    pactl({"load-module", "module-remap-source", "master=virtmic.monitor", "source_name=vmic",
           "source_properties=device.description=VirtualMic"});
    pactl({"set-default-source", "vmic"});
    EXPECT_TRUE(waitUntil([&] { return permissions.isMicrophoneAuthorized(); }));
}

// A frozen server hangs neither stop nor start: what arrived before it froze is kept, and
// a start fails after a bounded wait. A recording and a microphone test cut by the server's
// death end as failures and leave no file; nothing starts, mutes or plays while the server is
// gone, and the next recording uses the new server.
TEST(ServerLoss, AStalledServerHangsNothingAndADeadOneFailsOnlyItsRecording) {
    const pid_t server = pid_t(qEnvironmentVariableIntValue("ORVANTA_TEST_PULSE_PID"));
    ASSERT_GT(server, 0) << "run me through with-pulseaudio.sh";
    std::optional<MicrophoneFeed> feed(std::in_place);
    AudioRecorder recorder;
    ASSERT_TRUE(startHearing(recorder));
    ::kill(server, SIGSTOP);
    const std::optional<QString> kept = stopAndWait(recorder);
    EXPECT_TRUE(kept && decodeAudio(*kept).size() > 0);
    recorder.cleanup(kept.value_or(QString()));
    // Setting up waits for the frozen server off the main thread. A stop, a cancel or the
    // recorder's end meanwhile ends it without a file or a failure; untouched, it fails.
    ASSERT_TRUE(recorder.start("__default__"));
    EXPECT_FALSE(stopAndWait(recorder).has_value());
    ASSERT_TRUE(recorder.start("__default__"));
    recorder.cancel();
    ASSERT_TRUE(AudioRecorder().start("__default__"));
    EXPECT_TRUE(startFailsLate(recorder)) << "and only once: the cancelled one says nothing";
    EXPECT_FALSE(Permissions().isMicrophoneAuthorized());
    ::kill(server, SIGCONT);
    // The server first works off the connections that queued up while it was frozen.
    ASSERT_TRUE(waitUntil([] { return Permissions().isMicrophoneAuthorized(); }));
    feed.emplace();
    ASSERT_TRUE(startHearing(recorder));
    MicTester tester;
    tester.start("__default__");
    ASSERT_TRUE(tester.isTesting());
    feed.reset();
    ASSERT_EQ(::kill(server, SIGKILL), 0);
    QTest::qWait(300);
    EXPECT_FALSE(stopAndWait(recorder).has_value()) << "a recording cut off is no recording";
    tester.stop();
    EXPECT_EQ(tester.level(), 0.0f);
    EXPECT_TRUE(waitUntil([] {
        return temporaryFiles("orvanta-").isEmpty() && temporaryFiles("ov-mictest-").isEmpty();
    })) << "a broken recording leaves no file behind";
    EXPECT_TRUE(startFailsLate(recorder));
    SystemAudio audio;
    mute(audio, true);
    EXPECT_FALSE(audio.didMute()) << "nothing was muted";
    mute(audio, false);
    Sounds().play("Tink");

    ASSERT_TRUE(runTool("/bin/sh", {"-c", qEnvironmentVariable("ORVANTA_TEST_PULSE_RESTART")}));
    feed.emplace();
    ASSERT_TRUE(startHearing(recorder)) << "the new server is used";
    const std::optional<QString> next = stopAndWait(recorder);
    ASSERT_TRUE(next.has_value());
    recorder.cleanup(*next);
}
