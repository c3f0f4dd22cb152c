#include "AppState.h"
#include "FakeAppScene.h"

#include <QSignalSpy>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;
using Kind = DictationStatus::Kind;

namespace {

class AppStateTest : public ::testing::Test, protected FakeAppScene {
protected:
    AppStateTest() {
        QObject::connect(&app, &AppState::statusChanged, [this] {
            journal.note(QStringLiteral("status:") + app.status().describe());
        });
    }

    QStringList take() { return std::exchange(journal.entries, {}); }
    bool is(Kind kind) const { return app.status().is(kind); }

    void startRecording() {
        app.startDictation();
        ASSERT_TRUE(is(Kind::Recording));
    }
    // Stops the recording and lets the recorder deliver its file.
    QString stopRecording() {
        app.stopAndTranscribe();
        recorder.finishStop(true);
        return recorder.stoppedFile;
    }
    // A whole dictation up to the transcript.
    void dictate(const QString &text) {
        startRecording();
        stopRecording();
        transcriber.reply(TranscriptionResult::success(text));
    }
    void enterError() {
        recorder.startSucceeds = false;
        app.startDictation();
        recorder.startSucceeds = true;
        ASSERT_TRUE(is(Kind::Error));
    }
};

TEST_F(AppStateTest, StartRunsItsStepsInOrderOrEndsInTheErrorOfTheStepThatFailed) {
    const struct {
        const char *name;
        std::function<void()> arrange;
        QStringList steps;
    } cases[] = {
        {"a start",
         [] {},
         {"microphone.request", "recorder.start:alsa_input.usb-Mic", "status:recording", "mute",
          "bar.show", "sound:Tink"}},
        {"a start that leaves the output alone",
         [this] { settings.setMuteBackgroundAudio(false); },
         {"microphone.request", "recorder.start:alsa_input.usb-Mic", "status:recording", "bar.show",
          "sound:Tink"}},
        {"signed out",
         [this] { account.signedIn = false; },
         {"status:error: Sign in required \u2014 click Sign In in the menu.", "bar.show",
          "sound:Basso"}},
        {"microphone refused",
         [this] { permissions.microphoneAuthorized = false; },
         {"microphone.request", "status:error: Microphone access is required.", "bar.show",
          "open:microphone-help"}},
        {"the recorder cannot start",
         [this] { recorder.startSucceeds = false; },
         {"microphone.request", "recorder.start:alsa_input.usb-Mic",
          "status:error: Couldn't start recording.", "bar.show"}},
    };
    settings.setMicUID("alsa_input.usb-Mic");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        app.startDictation();
        EXPECT_EQ(take(), c.steps);
        EXPECT_EQ(app.microphoneGranted(), permissions.microphoneAuthorized);
        app.cancelDictation();
        scheduler.advance(AppState::errorClearDelay);
        take();
        settings.setMuteBackgroundAudio(true);
        account.signedIn = permissions.microphoneAuthorized = recorder.startSucceeds = true;
    }
}

TEST_F(AppStateTest, MicrophonePromptAnsweredLaterStillStarts) {
    permissions.answerLater = true;
    permissions.microphoneAuthorized = false;
    app.startDictation();
    EXPECT_TRUE(is(Kind::Idle));
    QSignalSpy granted(&app, &AppState::microphoneGrantedChanged);
    permissions.answer(true);
    EXPECT_TRUE(app.microphoneGranted());
    EXPECT_EQ(granted.count(), 1);
    EXPECT_TRUE(is(Kind::Recording));
}

// The menu's button, the bar, the tray menu and --toggle all go through toggleDictation.
TEST_F(AppStateTest, OperationsOutsideTheirStatusDoNothing) {
    app.stopAndTranscribe();
    app.cancelDictation();
    EXPECT_THAT(take(), IsEmpty()) << "idle: no stop, no cancel";
    app.toggleDictation();
    EXPECT_TRUE(is(Kind::Recording));
    take();
    app.startDictation();
    EXPECT_THAT(take(), IsEmpty()) << "recording: no second start";
    app.toggleDictation();
    EXPECT_TRUE(is(Kind::Transcribing));
    take();
    app.stopAndTranscribe();
    app.toggleDictation();
    EXPECT_THAT(take(), IsEmpty()) << "transcribing: no stop, no toggled start";
    startRecording(); // but a start begins a new dictation
    app.cancelDictation();
    enterError();
    take();
    app.stopAndTranscribe();
    app.cancelDictation();
    EXPECT_THAT(take(), IsEmpty()) << "error: no stop, no cancel";
    app.toggleDictation();
    EXPECT_EQ(app.statusKind(), Kind::Recording) << "an error does not block the next start";
}

TEST_F(AppStateTest, StopThenTranscriptFinishesInOrder) {
    vocabulary.setReplacements({{QUuid::createUuid(), "teh", "the", false}});
    settings.setDictationMode(DictationMode::Email);
    startRecording();
    take();
    app.stopAndTranscribe();
    EXPECT_THAT(take(), ElementsAre("unmute", "status:transcribing", "bar.show", "sound:Pop",
                                    "recorder.stop"));
    recorder.finishStop(true);
    const QString file = recorder.stoppedFile;
    EXPECT_THAT(take(), ElementsAre("transcribe:" + file));

    QSignalSpy transcript(&app, &AppState::lastTranscriptChanged);
    transcriber.reply(TranscriptionResult::success("Teh cat\tsat on teh  mat"));
    EXPECT_THAT(take(),
                ElementsAre("recorder.cleanup:" + file, "status:idle", "bar.show",
                            "insert:the cat\tsat on the  mat", "sound:Glass", "usage.refresh"));
    EXPECT_EQ(transcript.count(), 1);
    EXPECT_EQ(app.lastTranscript(), "the cat\tsat on the  mat");
    EXPECT_EQ(settings.wordsDictated(), 6);
    ASSERT_EQ(history.items().size(), 1);
    EXPECT_EQ(history.items()[0].text, "the cat\tsat on the  mat");
    EXPECT_EQ(history.items()[0].mode, "Email");

    dictate(""); // an empty transcript goes through every step
    EXPECT_TRUE(is(Kind::Idle));
    EXPECT_EQ(history.items().size(), 2);
    EXPECT_EQ(settings.wordsDictated(), 6);
    EXPECT_THAT(inserter.inserted, ElementsAre("the cat\tsat on the  mat", ""));
}

TEST_F(AppStateTest, FailuresAfterStopBecomeErrorsWithTheFailureSound) {
    startRecording();
    app.stopAndTranscribe();
    take();
    recorder.finishStop(false);
    EXPECT_THAT(take(),
                ElementsAre("status:error: Couldn't capture audio.", "bar.show", "sound:Basso"));

    startRecording();
    const QString file = stopRecording();
    take();
    transcriber.reply(TranscriptionResult::failure("The service is busy."));
    EXPECT_THAT(take(),
                ElementsAre("recorder.cleanup:" + file, "status:error: The service is busy.",
                            "bar.show", "sound:Basso"));
    EXPECT_THAT(inserter.inserted, IsEmpty());
    EXPECT_EQ(settings.wordsDictated(), 0);
}

TEST_F(AppStateTest, PrivacyModeSkipsTheHistoryAndMarksThePasteSensitive) {
    settings.setPrivacyMode(true);
    dictate("secret words");
    EXPECT_THAT(history.items(), IsEmpty());
    EXPECT_EQ(app.lastTranscript(), "secret words");
    EXPECT_EQ(settings.wordsDictated(), 2);
    EXPECT_THAT(journal.entries, Contains("insert:secret words (sensitive)"));
}

TEST_F(AppStateTest, ErrorClearsAfterFourSecondsByTheEarliestTimer) {
    enterError();
    take();
    scheduler.advance(3999ms);
    EXPECT_TRUE(is(Kind::Error));
    scheduler.advance(1ms);
    EXPECT_THAT(take(), ElementsAre("status:idle")) << "clearing refreshes and plays nothing";

    enterError();
    scheduler.advance(3000ms);
    enterError(); // a second error, 3 s after the first
    scheduler.advance(1000ms);
    EXPECT_TRUE(is(Kind::Idle));
    startRecording();
    scheduler.advance(3000ms); // the second timer finds no error
    EXPECT_TRUE(is(Kind::Recording));
}

TEST_F(AppStateTest, CancelRestoresTheOutputAndDiscardsWhatTheDictationStillDelivers) {
    startRecording();
    take();
    app.cancelDictation();
    EXPECT_THAT(take(), ElementsAre("recorder.cancel", "unmute", "status:idle", "bar.show",
                                    "sound:Bottle"));
    EXPECT_FALSE(recorder.pendingStop);

    startRecording(); // cancelled before the recorder delivers
    app.stopAndTranscribe();
    app.cancelDictation();
    take();
    recorder.finishStop(true);
    EXPECT_THAT(take(), ElementsAre("recorder.cleanup:" + recorder.stoppedFile));
    startRecording();
    app.stopAndTranscribe();
    app.cancelDictation();
    take();
    recorder.finishStop(false);
    EXPECT_THAT(take(), IsEmpty());
    EXPECT_THAT(transcriber.requests, IsEmpty());

    startRecording(); // cancelled while transcribing
    const QString file = stopRecording();
    app.cancelDictation();
    take();
    transcriber.reply(TranscriptionResult::success("too late"));
    EXPECT_THAT(take(), ElementsAre("recorder.cleanup:" + file));
    EXPECT_EQ(app.lastTranscript(), QString());
    EXPECT_EQ(settings.wordsDictated(), 0);
    EXPECT_THAT(history.items(), IsEmpty());
}

// An older dictation's result is delivered without touching the status of a newer one; its
// failure shows only when nothing newer runs.
TEST_F(AppStateTest, AnOlderDictationNeverDisturbsANewerOne) {
    startRecording();
    const QString olderFile = stopRecording();
    startRecording();
    const QString recordingFile = recorder.currentFile;
    take();
    transcriber.reply(TranscriptionResult::success("first dictation"));
    EXPECT_THAT(take(), ElementsAre("recorder.cleanup:" + olderFile, "insert:first dictation",
                                    "usage.refresh"));
    EXPECT_TRUE(is(Kind::Recording));
    EXPECT_EQ(app.lastTranscript(), "first dictation");
    EXPECT_EQ(settings.wordsDictated(), 2);
    EXPECT_EQ(history.items().size(), 1);
    EXPECT_FALSE(recorder.cleaned.contains(recordingFile));
    stopRecording();
    transcriber.reply(TranscriptionResult::success("second"));
    EXPECT_TRUE(is(Kind::Idle)) << "the newer one then finishes normally";

    startRecording();
    stopRecording();
    startRecording();
    stopRecording();
    transcriber.reply(TranscriptionResult::success("older"));
    EXPECT_TRUE(is(Kind::Transcribing)) << "an older result does not end a newer transcription";
    app.cancelDictation(); // cancels the newer one only
    transcriber.reply(TranscriptionResult::success("newer"));
    EXPECT_THAT(inserter.inserted, ElementsAre("first dictation", "second", "older"));

    startRecording();
    const QString failing = stopRecording();
    startRecording();
    take();
    transcriber.reply(TranscriptionResult::failure("Network down"));
    EXPECT_THAT(take(), ElementsAre("recorder.cleanup:" + failing));
    app.cancelDictation();
    startRecording();
    app.stopAndTranscribe();
    startRecording();
    take();
    recorder.finishStop(false);
    EXPECT_THAT(take(), IsEmpty()) << "a newer one is transcribing, the older captured nothing";
    app.cancelDictation();
    startRecording();
    const QString older = stopRecording();
    startRecording();
    app.cancelDictation();
    take();
    transcriber.reply(TranscriptionResult::failure("Network down"));
    EXPECT_THAT(take(), ElementsAre("recorder.cleanup:" + older, "status:error: Network down",
                                    "bar.show", "sound:Basso"));
}

// A paste that could not happen is an error with the failure sound; the text stays in Paste
// Last and in the history.
TEST_F(AppStateTest, PasteLastPastesTheFinalTextAndAFailedPasteKeepsIt) {
    app.pasteLast();
    EXPECT_THAT(take(), IsEmpty()) << "nothing to paste yet";
    vocabulary.setReplacements({{QUuid::createUuid(), "gonna", "going to", true}});
    inserter.outcome =
        InsertionOutcome::failed(InsertionOutcome::Failure::KeystrokeUnavailable, "no XTEST");
    startRecording();
    stopRecording();
    take();
    transcriber.reply(TranscriptionResult::success("gonna go"));
    const QStringList steps = take();
    EXPECT_THAT(steps, Contains("status:error: " + AppState::pasteFailedMessage));
    EXPECT_THAT(steps, Contains("sound:Basso"));
    EXPECT_THAT(steps, Not(Contains("sound:Glass")));
    EXPECT_EQ(history.items().size(), 1);

    scheduler.advance(AppState::errorClearDelay);
    take();
    app.pasteLast();
    EXPECT_THAT(take(),
                ElementsAre("insert:going to go", "status:error: " + AppState::pasteFailedMessage,
                            "bar.show", "sound:Basso"));
    startRecording();
    take();
    app.pasteLast();
    EXPECT_THAT(take(), ElementsAre("insert:going to go")) << "a recording keeps its status";
    app.cancelDictation();

    // Where nothing can type the keystroke the text waits on the clipboard for the user.
    inserter.outcome =
        InsertionOutcome::failed(InsertionOutcome::Failure::LeftOnClipboard, "no keystroke");
    app.pasteLast();
    EXPECT_EQ(app.errorMessage(), AppState::leftOnClipboardMessage);
}

// Quitting drops a running recording with its file and unmutes; a result that arrives
// during the quit is not pasted.
TEST_F(AppStateTest, QuittingDropsTheRecordingAndUnmutes) {
    startRecording();
    take();
    app.prepareToQuit();
    EXPECT_THAT(take(), ElementsAre("recorder.cancel", "unmute", "status:idle"));
    startRecording();
    stopRecording();
    app.prepareToQuit();
    transcriber.reply(TranscriptionResult::success("late"));
    EXPECT_THAT(inserter.inserted, IsEmpty());
}

TEST_F(AppStateTest, CallbacksDoNothingOnceTheControllerIsGone) {
    permissions.answerLater = true;
    app.startDictation();
    auto pendingAnswer = permissions.pendingAnswer;
    permissions.answerLater = false;
    permissions.answer(true);
    stopRecording();
    enterError();
    startRecording();
    app.stopAndTranscribe();
    auto pendingStop = recorder.pendingStop;

    appPtr.reset();
    take();
    pendingAnswer(true);
    recorder.pendingStop = pendingStop;
    recorder.finishStop(true);
    transcriber.reply(TranscriptionResult::success("late"));
    scheduler.advance(10s);
    recorder.levelHandler(0.5f);
    EXPECT_THAT(take(), IsEmpty());
    EXPECT_THAT(inserter.inserted, IsEmpty());
}

TEST_F(AppStateTest, FloatingBarShowsWhileDictatingOrAsTheSettingSays) {
    app.bootstrap();
    EXPECT_TRUE(bar.visible);
    settings.setShowFloatingBar(false);
    EXPECT_TRUE(bar.visible) << "applied once the change is done";
    QCoreApplication::processEvents();
    EXPECT_FALSE(bar.visible);
    startRecording();
    EXPECT_TRUE(bar.visible);
    app.stopAndTranscribe();
    EXPECT_TRUE(bar.visible);
    recorder.finishStop(false);
    EXPECT_FALSE(bar.visible) << "an error hides the bar when the setting is off";
}

TEST_F(AppStateTest, LevelsAndPermissionsAreObservable) {
    QSignalSpy level(&app, &AppState::audioLevelChanged);
    startRecording();
    recorder.levelHandler(0.75f);
    app.cancelDictation();
    EXPECT_FLOAT_EQ(app.audioLevel(), 0.75f) << "the level is not reset when recording ends";
    EXPECT_EQ(level.count(), 1);

    QSignalSpy microphone(&app, &AppState::microphoneGrantedChanged);
    QSignalSpy access(&app, &AppState::accessibilityGrantedChanged);
    permissions.inputAccess = false;
    app.refreshPermissions();
    app.refreshPermissions();
    EXPECT_FALSE(app.accessibilityGranted());
    EXPECT_EQ(access.count(), 2) << "observers hear of it even when nothing changed";
    EXPECT_EQ(microphone.count(), 2);
}

TEST_F(AppStateTest, ShortcutsDriveTheControllerWithTheCurrentBindings) {
    app.bootstrap();
    EXPECT_TRUE(keySource.started);
    keybindings.setActivate(Shortcut::doubleTap(ModifierKey::Shift));
    EXPECT_EQ(hotkeys.activate(), Keybindings::fallbackActivate()) << "applied on a later pass";
    QCoreApplication::processEvents();
    EXPECT_EQ(hotkeys.activate(), Shortcut::doubleTap(ModifierKey::Shift));
    const auto pressCombo = [this](const Shortcut &shortcut) {
        quint64 flags = 0;
        for (ModifierKey key : shortcut.mods)
            flags |= mask(key);
        keySource.handler({KeyEvent::Type::KeyDown, *shortcut.keyCode, flags});
        QCoreApplication::processEvents();
    };

    keySource.tapModifier(ModifierKey::Shift);
    keySource.tapModifier(ModifierKey::Shift);
    QCoreApplication::processEvents();
    EXPECT_TRUE(is(Kind::Recording));
    EXPECT_TRUE(keySource.consumed().contains(keybindings.cancel())) << "Esc is taken";
    pressCombo(keybindings.cancel());
    EXPECT_TRUE(is(Kind::Idle));
    EXPECT_FALSE(keySource.consumed().contains(keybindings.cancel()));

    keySource.tapModifier(ModifierKey::Shift);
    keySource.tapModifier(ModifierKey::Shift);
    QCoreApplication::processEvents();
    keySource.tapModifier(ModifierKey::Shift);
    QCoreApplication::processEvents();
    EXPECT_TRUE(is(Kind::Transcribing));
    recorder.finishStop(true);
    transcriber.reply(TranscriptionResult::success("by keys"));
    pressCombo(keybindings.pasteLast());
    EXPECT_THAT(inserter.inserted, ElementsAre("by keys", "by keys"));
}

TEST_F(AppStateTest, PollStartsTheMonitorOnceInputAccessAppears) {
    permissions.inputAccess = false;
    app.bootstrap();
    EXPECT_FALSE(keySource.started);
    EXPECT_TRUE(app.isPermissionPollRunning());
    app.pollPermissions();
    EXPECT_EQ(keySource.startCalls, 0);
    permissions.inputAccess = true;
    app.pollPermissions();
    app.pollPermissions();
    EXPECT_EQ(keySource.startCalls, 1) << "a running monitor is not started twice";
}

// The built-in fn ×2 becomes Control ×2 where the key source cannot see fn; a binding the
// user chose is kept as stored, and only it brings the hint.
TEST_F(AppStateTest, UnseenFnDefaultFallsBackToControlButAChosenBindingStays) {
    QSignalSpy spy(&app, &AppState::activateBindingCanFireChanged);
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
    EXPECT_EQ(spy.count(), 1);
    keybindings.setActivate(Shortcut::doubleTap(ModifierKey::Shift));
    app.applyKeybindings();
    EXPECT_TRUE(app.activateBindingCanFire());
    EXPECT_EQ(spy.count(), 2);
}

} // namespace
