#include "AppState.h"
#include "FakeAppScene.h"

#include <QCoreApplication>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;
using ::testing::IsEmpty;
using Failure = InsertionOutcome::Failure;
using enum ModifierKey;

namespace {

// A dictation told as words (user, recorder, service, time, fakes); only what follows "|" counts.
struct Scenario {
    const char *name, *script;
    // After "|": the effects (recordings numbered), then status / words / history / transcript.
    QString steps;
    friend void PrintTo(const Scenario &scenario, std::ostream *out) { *out << scenario.script; }
};

class AppStateTest : public ::testing::TestWithParam<Scenario>, protected FakeAppScene {
protected:
    AppStateTest() {
        QObject::connect(&app, &AppState::statusChanged, [this] {
            journal.append(QStringLiteral("status:") + app.status().describe());
        });
    }

    QStringList take() { return std::exchange(journal, {}); }

    void run(const QString &script) {
        for (const QString &word : script.split(' ', Qt::SkipEmptyParts)) {
            const QString value = word.section(':', 1).replace('_', ' ');
            const QString action = word.section(':', 0, 0);
            const std::map<QString, std::function<void()>> actions{
                {"start", [this] { app.startDictation(); }},
                {"stop", [this] { app.stopAndTranscribe(); }},
                {"cancel", [this] { app.cancelDictation(); }},
                {"toggle", [this] { app.toggleDictation(); }},
                {"paste", [this] { app.pasteLast(); }},
                {"quit", [this] { app.prepareToQuit(); }},
                {"file", [this] { recorder.finishStop(true); }},
                {"nofile", [this] { recorder.finishStop(false); }},
                {"latefail", [this] { recorder.failLateStart(); }},
                {"text", [&] { transcriber.reply(TranscriptionResult::success(value)); }},
                {"fail", [&] { transcriber.reply(TranscriptionResult::failure(value)); }},
                {"wait", [&] { scheduler.advance(std::chrono::milliseconds(value.toInt())); }},
                {"|", [this] { take(); }},
                {"mic", [&] { settings.setMicUID(value); }},
                {"nomute", [this] { settings.setMuteBackgroundAudio(false); }},
                {"private", [this] { settings.setPrivacyMode(true); }},
                {"signedout", [this] { account.signedIn = false; }},
                {"nomic", [this] { permissions.microphoneAuthorized = false; }},
                {"norecorder", [this] { recorder.startSucceeds = false; }},
                {"recorder", [this] { recorder.startSucceeds = true; }},
                {"pastefails", [this] { failPastes(Failure::KeystrokeUnavailable); }},
                {"clipboardonly", [this] { failPastes(Failure::LeftOnClipboard); }},
                {"later", [this] { permissions.answerLater = true; }},
                {"grant", [this] { permissions.answer(true); }},
                {"boot", [this] { app.bootstrap(); }},
                {"nobar", [this] { settings.setShowFloatingBar(false); }},
                {"events", [] { QCoreApplication::processEvents(); }},
                {"shiftkey", [this] { keybindings.setActivate(Shortcut::doubleTap(Shift)); }},
                {"tap", [this] { keySource.tapModifier(Shift); }},
                {"esc", [this] { keySource.keyDown(KeyCode::escape, 0); }},
                {"pastekeys",
                 [this] { keySource.keyDown(KeyCode::v, mask(Control) | mask(Command)); }},
                {"keys", [this] { noteKeySource(); }},
            };
            ASSERT_TRUE(actions.contains(action)) << word.toStdString();
            actions.at(action)();
        }
    }
    // How often the key source was started and how many combinations it is told to take.
    void noteKeySource() {
        journal.append(QStringLiteral("keys:%1 started, %2 taken")
                           .arg(keySource.startCalls)
                           .arg(keySource.consumedRequests.last().size()));
    }
    void failPastes(Failure failure) {
        inserter.outcome = InsertionOutcome::failed(failure, "test");
    }
    QString numberedSteps() {
        return (take() << QStringLiteral("%1 / %2 / %3 / %4")
                              .arg(app.status().describe().section(':', 0, 0))
                              .arg(settings.wordsDictated())
                              .arg(history.items().size())
                              .arg(app.lastTranscript()))
            .join(", ");
    }
};

const QString started = "microphone.request, recorder.start:__default__, status:recording, mute, "
                        "bar.show, sound:Tink, ";
const QString stopped = "unmute, status:transcribing, bar.show, sound:Pop, recorder.stop, ";
const QString finished = "status:idle, bar.show, ";
// An error shown with the failure sound.
QString failed(const QString &message) {
    return "status:error: " + message + ", bar.show, sound:Basso, ";
}
const QString pasteFailed = failed("Couldn't paste the text \u2014 use Paste Last to try again.");

const Scenario scenarios[] = {
    {"StartFromTheChosenMicrophoneWithoutMuting", "mic:alsa.usb nomute | start",
     "microphone.request, recorder.start:alsa.usb, status:recording, bar.show, sound:Tink, "
     "recording / 0 / 0 / "},
    {"LaunchShowsTheBar", "| boot", "bar.show, idle / 0 / 0 / "},
    {"StartSignedOut", "signedout | start",
     failed("Sign in required \u2014 click Sign In in the menu.") + "error / 0 / 0 / "},
    {"StartWithoutMicrophone", "nomic | start",
     "microphone.request, status:error: Microphone access is required., bar.show, "
     "open:microphone-help, error / 0 / 0 / "},
    {"StartOnceTheMicrophonePromptIsAnswered", "nomic start later | start grant",
     started + "recording / 0 / 0 / "},
    {"StartWithoutRecorder", "norecorder | start",
     "microphone.request, recorder.start:__default__, status:error: Couldn't start recording., "
     "bar.show, error / 0 / 0 / "},
    {"StartFailsLate", "start | latefail",
     "unmute, " + failed("Couldn't start recording.") + "error / 0 / 0 / "},
    {"Finish", "start stop file | text:Teh_cat_sat",
     "recorder.cleanup:#1, " + finished +
         "insert:the cat sat, sound:Glass, usage.refresh, idle / 3 / 1 / the cat sat"},
    {"FinishPrivately", "private start stop file | text:secret",
     "recorder.cleanup:#1, " + finished +
         "insert:secret (sensitive), sound:Glass, usage.refresh, idle / 1 / 0 / secret"},
    {"TranscriptionFails", "start stop file | fail:Busy",
     "recorder.cleanup:#1, " + failed("Busy") + "error / 0 / 0 / "},
    {"CancelBeforeTheRecorderDelivers", "start stop cancel | file",
     "recorder.cleanup:#1, idle / 0 / 0 / "},
    {"CancelWhileTranscribing", "start stop file cancel | text:too_late",
     "recorder.cleanup:#1, idle / 0 / 0 / "},
    {"NothingToDoInTheStatus", "| stop cancel paste start start stop stop toggle",
     started + stopped + "transcribing / 0 / 0 / "},
    {"ToggleStartsAfterAnError", "norecorder start recorder | toggle",
     started + "recording / 0 / 0 / "},
    {"ToggleStops", "start | toggle", stopped + "transcribing / 0 / 0 / "},
    {"ErrorClearsQuietly", "norecorder start wait:3999 | wait:1", "status:idle, idle / 0 / 0 / "},
    {"ALaterTimerLeavesARecordingAlone",
     "norecorder start wait:3000 start wait:1000 recorder start | wait:3000",
     "recording / 0 / 0 / "},
    {"AnOlderResultDuringARecording", "start stop file start | text:first_dictation",
     "recorder.cleanup:#1, insert:first dictation, usage.refresh, "
     "recording / 2 / 1 / first dictation"},
    {"AnOlderResultDuringATranscription", "start stop file start stop file | text:older",
     "recorder.cleanup:#1, insert:older, usage.refresh, transcribing / 1 / 1 / older"},
    {"TheNewerOneFinishesNormally", "start stop file start stop file text:older | text:newer",
     "recorder.cleanup:#2, " + finished +
         "insert:newer, sound:Glass, usage.refresh, idle / 2 / 2 / newer"},
    {"CancellingTheNewerOneSparesTheOlder",
     "start stop file start stop file cancel | text:older text:newer",
     "recorder.cleanup:#1, insert:older, usage.refresh, recorder.cleanup:#2, "
     "idle / 1 / 1 / older"},
    {"AnOlderFailureDuringARecording", "start stop file start | fail:Network_down",
     "recorder.cleanup:#1, recording / 0 / 0 / "},
    {"AnOlderRecordingWithoutAudioDuringANewerOne", "start stop start | nofile",
     "recording / 0 / 0 / "},
    {"AnOlderFailureOnceTheNewerIsCancelled", "start stop file start cancel | fail:Network_down",
     "recorder.cleanup:#1, " + failed("Network down") + "error / 0 / 0 / "},
    {"PasteLastPastesTheFinalText", "start stop file text:teh_end | paste",
     "insert:the end, idle / 2 / 1 / the end"},
    {"AFailedPasteIsAnError", "pastefails start stop file | text:kept",
     "recorder.cleanup:#1, " + finished + "insert:kept, " + pasteFailed +
         "usage.refresh, error / 1 / 1 / kept"},
    {"AFailedPasteLeavesARecordingAlone",
     "pastefails start stop file text:kept wait:4000 start | paste",
     "insert:kept, recording / 1 / 1 / kept"},
    {"ATextLeftOnTheClipboardIsForTheUserToPaste",
     "clipboardonly start stop file text:kept wait:4000 | paste",
     "insert:kept, " + failed("The text is on the clipboard \u2014 press Ctrl+V to paste it.") +
         "error / 1 / 1 / kept"},
    // The setting is applied once its change is done; dictating shows the bar, an error not.
    {"FloatingBarAsTheSettingSays", "boot nobar | events start stop nofile",
     "bar.hide, " + started + stopped +
         "status:error: Couldn't capture audio., bar.hide, sound:Basso, error / 0 / 0 / "},
    // The shortcuts are the bindings of the moment, applied once the change is done; Esc is
    // taken only while recording.
    {"ShortcutsDriveTheController",
     "boot shiftkey | keys tap tap events tap tap events keys esc events keys tap tap events tap "
     "events file text:by_keys pastekeys events",
     "keys:1 started, 1 taken, " + started +
         "keys:1 started, 2 taken, recorder.cancel, unmute, status:idle, bar.show, sound:Bottle, "
         "keys:1 started, 1 taken, " +
         started + stopped + "transcribe:#2, recorder.cleanup:#2, " + finished +
         "insert:by keys, sound:Glass, usage.refresh, insert:by keys, idle / 2 / 1 / by keys"},
    {"QuitDropsTheRecordingAndUnmutes", "start | quit",
     "recorder.cancel, unmute, status:idle, idle / 0 / 0 / "},
    {"QuitDropsALateResult", "start stop file | quit text:late",
     "unmute, status:idle, recorder.cleanup:#1, idle / 0 / 0 / "},
};

TEST_P(AppStateTest, Scenario) {
    vocabulary.setReplacements({{QUuid::createUuid(), "teh", "the", false}});
    run(GetParam().script);
    EXPECT_EQ(numberedSteps(), GetParam().steps) << GetParam().script;
}

INSTANTIATE_TEST_SUITE_P(Dictation, AppStateTest, ::testing::ValuesIn(scenarios),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(AppStateTest, CallbacksDoNothingOnceTheControllerIsGone) {
    permissions.answerLater = true;
    app.startDictation();
    auto pendingAnswer = permissions.pendingAnswer;
    permissions.answerLater = false;
    permissions.answer(true);
    run("stop file norecorder start recorder start stop");
    recorder.levelHandler(0.75f);
    EXPECT_FLOAT_EQ(app.audioLevel(), 0.75f);
    auto pendingStop = recorder.pendingStop;

    appPtr.reset();
    take();
    pendingAnswer(true);
    recorder.pendingStop = pendingStop;
    recorder.finishStop(true);
    transcriber.reply(TranscriptionResult::success("late"));
    scheduler.advance(10s);
    recorder.levelHandler(0.5f);
    recorder.startFailureHandler();
    EXPECT_THAT(take(), IsEmpty());
    EXPECT_THAT(inserter.inserted, IsEmpty());
}

TEST_F(AppStateTest, PermissionsAreRereadAndThePollStartsTheMonitor) {
    run("nomic start");
    EXPECT_FALSE(app.microphoneGranted()) << "a refusal is remembered";
    permissions.inputAccess = false;
    app.bootstrap();
    EXPECT_FALSE(keySource.isStarted() || app.accessibilityGranted());
    EXPECT_TRUE(app.isPermissionPollRunning());
    app.pollPermissions();
    EXPECT_EQ(keySource.startCalls, 0);
    permissions.inputAccess = true;
    app.pollPermissions();
    app.pollPermissions();
    EXPECT_EQ(keySource.startCalls, 1) << "a running monitor is not started twice";
}

// Unseen fn: the built-in fn ×2 gives way to Control ×2, a chosen one stays and brings the hint.
TEST_F(AppStateTest, UnseenFnDefaultFallsBackToControlButAChosenBindingStays) {
    app.applyKeybindings();
    EXPECT_EQ(hotkeys.activate(), Keybindings::fallbackActivate());
    EXPECT_TRUE(app.activateBindingCanFire());
    EXPECT_FALSE(store.contains(Keybindings::storageKey(KeybindAction::Activate)));

    keySource.visible |= mask(ModifierKey::Fn);
    app.applyKeybindings();
    EXPECT_EQ(hotkeys.activate(), Keybindings::defaultActivate()) << "a source that sees fn";
    keySource.visible &= ~mask(ModifierKey::Fn);

    keybindings.setActivate(Keybindings::defaultActivate());
    app.applyKeybindings();
    EXPECT_EQ(hotkeys.activate(), Keybindings::defaultActivate());
    EXPECT_EQ(app.listenedActivate(), Keybindings::defaultActivate());
    EXPECT_FALSE(app.activateBindingCanFire());
}

} // namespace
