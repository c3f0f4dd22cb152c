#include "AudioDevices.h"
#include "AudioRecorder.h"
#include "AudioTestSupport.h"
#include "CaptureSession.h"
#include "MicTester.h"
#include "Permissions.h"
#include "QtPrinters.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

bool onMainThread() {
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

// What a recorder hands back, and whether it did so on the main thread.
struct Delivery {
    bool arrived = false;
    bool onMain = false;
    std::optional<QString> file;

    std::function<void(std::optional<QString>)> completion() {
        return [this](std::optional<QString> delivered) {
            arrived = true;
            onMain = onMainThread();
            file = std::move(delivered);
        };
    }
};

struct LevelLog {
    std::vector<float> levels;
    bool allOnMain = true;

    std::function<void(float)> handler() {
        return [this](float level) {
            levels.push_back(level);
            allOnMain = allOnMain && onMainThread();
        };
    }
    float loudest() const {
        return levels.empty() ? -1.0f : *std::max_element(levels.begin(), levels.end());
    }
};

const QRegularExpression
    recordingName("^orvanta-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.m4a$");

} // namespace

TEST(AudioRecorder, RecordsSpeechIntoAnAacFileWhileReportingLevels) {
    MicrophoneFeed feed;
    AudioRecorder recorder;
    LevelLog log;
    recorder.setLevelHandler(log.handler());

    ASSERT_TRUE(recorder.start("__default__"));
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(recorder.isRecording());
    ASSERT_TRUE(recorder.lastFile().has_value());
    const QFileInfo info(*recorder.lastFile());
    EXPECT_EQ(info.absolutePath(), qEnvironmentVariable("XDG_RUNTIME_DIR") + "/orvanta");
    EXPECT_EQ(info.permissions() &
                  ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
              QFile::Permissions())
        << "only the user may read a recording";
    EXPECT_EQ(QFileInfo(info.absolutePath()).permissions() &
                  (QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup),
              QFile::Permissions());
    EXPECT_TRUE(recordingName.match(info.fileName()).hasMatch()) << info.fileName().toStdString();

    ASSERT_TRUE(feed.play());
    spinFor(300ms);
    const double recordedSeconds = double(clock.elapsed()) / 1000.0;
    Delivery delivery;
    recorder.stop(delivery.completion());
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_FALSE(delivery.arrived) << "the file is finished off the main thread";
    ASSERT_TRUE(waitUntil([&] { return delivery.arrived; }));
    EXPECT_TRUE(delivery.onMain);
    ASSERT_TRUE(delivery.file.has_value());
    EXPECT_EQ(delivery.file, recorder.lastFile());

    const DecodedAudio recorded = decodeAudio(*delivery.file);
    EXPECT_EQ(recorded.codec, "aac"); // the writer's test checks the format's details
    EXPECT_NEAR(recorded.durationSeconds, recordedSeconds, recordedSeconds * 0.1);
    const DecodedAudio speech = decodeAudio(speechFile());
    EXPECT_NEAR(loudestWindowDecibels(recorded.samples, recorded.sampleRate),
                loudestWindowDecibels(speech.samples, speech.sampleRate), 6.0);

    EXPECT_TRUE(log.allOnMain);
    EXPECT_GE(double(log.levels.size()), recordedSeconds * 20 * 0.7);
    EXPECT_LE(double(log.levels.size()), recordedSeconds * 20 * 1.1);
    EXPECT_GT(log.loudest(), 0.45f) << "speech reads as speech";

    recorder.cleanup(*delivery.file);
    EXPECT_FALSE(QFileInfo::exists(*delivery.file));
    EXPECT_FALSE(recorder.lastFile().has_value());
}

// What the microphone heard before the stop is in the file, also the part still in the
// source's last block when stop is called: speech that ends 50 ms before the stop is all there.
// A sound card hands its audio over in blocks; here a tone source does, in blocks as long as
// the recording stream's latency. The file's tone is compared with the time the recorder ran,
// over takes stopped at different points of a block, so no lucky phase hides a lost block.
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
    ASSERT_EQ(runTool("sox", {"-n", "-r", "16000", "-c", "1", "-b", "16", tone, "synth", "60",
                              "sine", "440", "vol", "0.5"})
                  .exitCode,
              0);
    QProcess player;
    player.start("paplay", {"--device=toneup", "--latency-msec=20", tone});
    // A steady reader keeps the source's blocks at the stream's latency and running between
    // the takes, so a take's first block holds at most one block from before its start.
    QProcess reader;
    reader.start("parec", {"--device=tonemic", "--raw", "--latency-msec=50"});
    ASSERT_TRUE(player.waitForStarted());
    ASSERT_TRUE(reader.waitForStarted());
    spinFor(300ms);
    AudioRecorder recorder;
    for (int take = 0; take < 12; ++take) {
        ASSERT_TRUE(recorder.start("tonemic"));
        QElapsedTimer clock;
        clock.start();
        spinFor(std::chrono::milliseconds(300 + 7 * take));
        const int heardWindows = int(clock.elapsed() / 10);
        const std::optional<QString> file = stopAndWait(recorder);
        ASSERT_TRUE(file.has_value());
        const DecodedAudio recorded = decodeAudio(*file);
        recorder.cleanup(*file);
        const int loud = loudWindows(recorded.samples, recorded.sampleRate);
        // At most 40 ms short, less than the 50 ms promised; a lost block would be 50 ms.
        EXPECT_GE(loud, heardWindows - 4)
            << "take " << take << ": " << heardWindows - loud << " windows are missing";
        EXPECT_LE(loud, heardWindows + 25) << "take " << take << ": stop ran on";
    }
    for (QProcess *process : {&reader, &player}) {
        process->kill();
        process->waitForFinished();
    }
    pactl({"unload-module", mic});
    pactl({"unload-module", quiet});
}

TEST(AudioRecorder, LeftoversOfAnEarlierRunAreRemovedAndNothingElse) {
    const QDir folder(CaptureSession::recordingDirectory());
    const QStringList names{"orvanta-0A1B.m4a", "ov-mictest-0A1B.m4a", "notes.txt",
                            "orvanta-keep.wav"};
    for (const QString &name : names) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    // A clean-up deletes only files the recorder delivered.
    AudioRecorder().cleanup(folder.filePath(names[0]));
    EXPECT_TRUE(QFile::exists(folder.filePath(names[0])));
    AudioRecorder::removeLeftovers();
    for (const QString &name : names)
        EXPECT_EQ(QFile::exists(folder.filePath(name)), !name.endsWith(".m4a"))
            << name.toStdString();
    QFile::remove(folder.filePath("notes.txt"));
    QFile::remove(folder.filePath("orvanta-keep.wav"));
}

TEST(AudioRecorder, CancelDeletesTheFileAndEndsTheLevels) {
    MicrophoneFeed feed;
    AudioRecorder recorder;
    LevelLog log;
    recorder.setLevelHandler(log.handler());
    ASSERT_TRUE(recorder.start("__default__"));
    const QString file = *recorder.lastFile();
    ASSERT_TRUE(waitUntil([&] { return log.levels.size() >= 4; }));
    EXPECT_EQ(log.loudest(), 0.0f) << "digital silence reads as level zero";

    recorder.cancel();
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_FALSE(recorder.lastFile().has_value());
    const std::size_t levelsAtCancel = log.levels.size();
    EXPECT_TRUE(waitUntil([&] { return !QFileInfo::exists(file); }));
    spinFor(300ms);
    EXPECT_EQ(log.levels.size(), levelsAtCancel);
    EXPECT_TRUE(temporaryFiles("orvanta-").isEmpty());

    // Nothing is pending any more: a stop now answers at once, with nothing.
    Delivery delivery;
    recorder.stop(delivery.completion());
    EXPECT_TRUE(delivery.arrived);
    EXPECT_FALSE(delivery.file.has_value());
}

TEST(AudioRecorder, BackToBackRecordingsKeepTheirOwnFiles) {
    MicrophoneFeed feed;
    AudioRecorder recorder;
    ASSERT_TRUE(startHearing(recorder));
    Delivery first;
    recorder.stop(first.completion());
    // The next dictation starts while the first file is still being finished.
    ASSERT_TRUE(startHearing(recorder));
    const auto second = stopAndWait(recorder);
    ASSERT_TRUE(waitUntil([&] { return first.arrived; }));

    ASSERT_TRUE(first.file.has_value());
    ASSERT_TRUE(second.has_value());
    EXPECT_NE(*first.file, *second);
    EXPECT_TRUE(QFileInfo::exists(*first.file));
    EXPECT_EQ(recorder.lastFile(), second);

    // A late clean-up of the first file leaves the newer recording alone.
    recorder.cleanup(*first.file);
    EXPECT_FALSE(QFileInfo::exists(*first.file));
    EXPECT_TRUE(QFileInfo::exists(*second));
    EXPECT_EQ(recorder.lastFile(), second);
    recorder.cleanup(*second);
    EXPECT_FALSE(QFileInfo::exists(*second));
    EXPECT_FALSE(recorder.lastFile().has_value());
}

TEST(AudioRecorder, NoMicrophoneMeansNoRecordingAndNoFile) {
    MicrophoneUnplugged unplugged;
    AudioRecorder recorder;
    EXPECT_FALSE(recorder.start("__default__"));
    EXPECT_FALSE(recorder.start("vmic"));
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_TRUE(temporaryFiles("orvanta-").isEmpty());
    Permissions permissions;
    EXPECT_FALSE(permissions.isMicrophoneAuthorized());
    EXPECT_TRUE(permissions.microphones().isEmpty()) << "monitors are not microphones";

    MicTester tester;
    tester.start("__default__");
    EXPECT_FALSE(tester.isTesting());
    EXPECT_TRUE(temporaryFiles("ov-mictest-").isEmpty());
}

// The list follows the server's changes as they come, without asking it.
TEST(AudioDevices, ListsTheMicrophonesInTheServersOrder) {
    Permissions permissions;
    ASSERT_TRUE(permissions.isMicrophoneAuthorized());
    const QList<AudioInputDevice> alone{{"vmic", "VirtualMic"}};
    EXPECT_EQ(permissions.microphones(), alone);
    const QString module =
        pactl({"load-module", "module-null-source", "source_name=spare", "description=SpareMic"});
    const QList<AudioInputDevice> both{{"vmic", "VirtualMic"}, {"spare", "SpareMic"}};
    EXPECT_TRUE(waitUntil([&] { return permissions.microphones() == both; }));
    pactl({"unload-module", module});
    EXPECT_TRUE(waitUntil([&] { return permissions.microphones() == alone; }));
}

TEST(MicTester, ShowsTheLevelAndLeavesNoFile) {
    MicrophoneFeed feed;
    MicTester tester;
    QSignalSpy testingChanges(&tester, &MicTester::isTestingChanged);
    float loudest = 0;
    QObject::connect(&tester, &MicTester::levelChanged,
                     [&] { loudest = std::max(loudest, tester.level()); });

    tester.stop(); // while idle: changes nothing
    EXPECT_EQ(tester.level(), 0.0f);
    tester.start("alsa_input.gone");
    ASSERT_TRUE(tester.isTesting());
    EXPECT_EQ(testingChanges.size(), 1);
    const QStringList files = temporaryFiles("ov-mictest-");
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(files[0].endsWith(".m4a"));
    ASSERT_TRUE(feed.play());
    EXPECT_GT(loudest, 0.45f);

    tester.stop();
    EXPECT_FALSE(tester.isTesting());
    EXPECT_EQ(tester.level(), 0.0f);
    EXPECT_EQ(testingChanges.size(), 2);
    EXPECT_TRUE(waitUntil([] { return temporaryFiles("ov-mictest-").isEmpty(); }));
    spinFor(200ms);
    EXPECT_EQ(tester.level(), 0.0f) << "no late level after stop";
}
