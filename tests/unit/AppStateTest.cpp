#include "AppState.h"
#include "FakeAppScene.h"
#include "History.h"
#include "HotkeyManager.h"
#include "Keybindings.h"
#include "PreferenceStore.h"
#include "Settings.h"
#include "TempEnvironment.h"
#include "Vocabulary.h"

#include <QSignalSpy>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class AppStateTest : public ::testing::Test, protected FakeAppScene {
protected:
    AppStateTest() {
        QObject::connect(&app, &AppState::statusChanged, [this] {
            journal.note(QStringLiteral("status:") + app.status().describe());
        });
    }

    QStringList take() {
        QStringList entries = journal.entries;
        journal.clear();
        return entries;
    }

    void startRecording() {
        app.startDictation();
        ASSERT_TRUE(app.status().is(DictationStatus::Kind::Recording));
    }

    // Stops the recording and lets the recorder deliver its file.
    QString stopRecording() {
        app.stopAndTranscribe();
        recorder.finishStop(true);
        return recorder.stoppedFile;
    }

    void enterError() {
        // A failed start is the plainest way into the error status.
        recorder.startSucceeds = false;
        app.startDictation();
        recorder.startSucceeds = true;
        ASSERT_EQ(app.status(), DictationStatus::error(AppState::startFailedMessage));
    }
};

TEST_F(AppStateTest, StartRunsItsStepsInOrder) {
    settings.setMicUID(QStringLiteral("alsa_input.usb-Mic"));
    app.startDictation();
    EXPECT_THAT(take(), ElementsAre("microphone.request", "recorder.start:alsa_input.usb-Mic",
                                    "status:recording", "mute", "bar.show", "sound:Tink"));

    app.cancelDictation();
    settings.setMuteBackgroundAudio(false);
    take();
    app.startDictation();
    EXPECT_THAT(take(), ElementsAre("microphone.request", "recorder.start:alsa_input.usb-Mic",
                                    "status:recording", "bar.show", "sound:Tink"));
}

TEST_F(AppStateTest, SignedOutStartFailsWithoutTouchingMicrophoneOrRecorder) {
    account.signedIn = false;
    app.startDictation();
    EXPECT_EQ(app.status().message(), u"Sign in required \u2014 click Sign In in the menu.");
    EXPECT_THAT(take(),
                ElementsAre("status:error: Sign in required \u2014 click Sign In in the menu.",
                            "bar.show", "sound:Basso"));
}

TEST_F(AppStateTest, RefusedMicrophoneOpensHelpSilently) {
    permissions.microphoneAuthorized = false;
    app.startDictation();
    EXPECT_EQ(app.status(),
              DictationStatus::error(QStringLiteral("Microphone access is required.")));
    EXPECT_FALSE(app.microphoneGranted());
    EXPECT_THAT(take(),
                ElementsAre("microphone.request", "status:error: Microphone access is required.",
                            "bar.show", "open:microphone-help"));
}

TEST_F(AppStateTest, MicrophonePromptAnsweredLaterStillStarts) {
    permissions.answerLater = true;
    permissions.microphoneAuthorized = false;
    app.startDictation();
    EXPECT_TRUE(app.status().is(DictationStatus::Kind::Idle));
    QSignalSpy granted(&app, &AppState::microphoneGrantedChanged);
    permissions.answer(true);
    EXPECT_TRUE(app.microphoneGranted());
    EXPECT_EQ(granted.count(), 1);
    EXPECT_TRUE(app.status().is(DictationStatus::Kind::Recording));
}

TEST_F(AppStateTest, RecorderThatCannotStartGivesErrorWithoutSoundOrMute) {
    recorder.startSucceeds = false;
    app.startDictation();
    EXPECT_THAT(take(), ElementsAre("microphone.request", "recorder.start:__default__",
                                    "status:error: Couldn't start recording.", "bar.show"));
}

TEST_F(AppStateTest, OperationsIgnoredInTheWrongStatus) {
    // idle: stop and cancel do nothing
    app.stopAndTranscribe();
    app.cancelDictation();
    EXPECT_THAT(take(), IsEmpty());

    // recording: a second start does nothing
    startRecording();
    take();
    app.startDictation();
    EXPECT_THAT(take(), IsEmpty());

    // transcribing: stop does nothing, start begins a new dictation
    app.stopAndTranscribe();
    take();
    app.stopAndTranscribe();
    EXPECT_THAT(take(), IsEmpty());
    startRecording();

    // error: stop and cancel do nothing, start begins a new dictation
    app.cancelDictation();
    enterError();
    take();
    app.stopAndTranscribe();
    app.cancelDictation();
    EXPECT_THAT(take(), IsEmpty());
    startRecording();
}

TEST_F(AppStateTest, StopThenTranscriptFinishesInOrder) {
    vocabulary.setReplacements(
        {{QUuid::createUuid(), QStringLiteral("teh"), QStringLiteral("the"), false}});
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
    transcriber.reply(TranscriptionResult::success(QStringLiteral("Teh cat\tsat on teh  mat")));
    EXPECT_THAT(take(),
                ElementsAre("recorder.cleanup:" + file, "status:idle", "bar.show",
                            "insert:the cat\tsat on the  mat", "sound:Glass", "usage.refresh"));
    EXPECT_EQ(transcript.count(), 1);
    EXPECT_EQ(app.lastTranscript(), u"the cat\tsat on the  mat");
    EXPECT_EQ(settings.wordsDictated(), 6);
    ASSERT_EQ(history.items().size(), 1);
    EXPECT_EQ(history.items()[0].text, u"the cat\tsat on the  mat");
    EXPECT_EQ(history.items()[0].mode, u"Email");
}

TEST_F(AppStateTest, FailuresAfterStopBecomeErrorsWithFailureSound) {
    startRecording();
    app.stopAndTranscribe();
    take();
    recorder.finishStop(false);
    EXPECT_THAT(take(),
                ElementsAre("status:error: Couldn't capture audio.", "bar.show", "sound:Basso"));

    startRecording();
    const QString file = stopRecording();
    take();
    transcriber.reply(TranscriptionResult::failure(QStringLiteral("The service is busy.")));
    EXPECT_THAT(take(),
                ElementsAre("recorder.cleanup:" + file, "status:error: The service is busy.",
                            "bar.show", "sound:Basso"));
    EXPECT_THAT(inserter.inserted, IsEmpty());
    EXPECT_EQ(settings.wordsDictated(), 0);
}

TEST_F(AppStateTest, CancelRestoresOutputAndDropsTheRecording) {
    startRecording();
    take();
    app.cancelDictation();
    EXPECT_THAT(take(), ElementsAre("recorder.cancel", "unmute", "status:idle", "bar.show",
                                    "sound:Bottle"));
    EXPECT_FALSE(recorder.pendingStop);
    EXPECT_THAT(transcriber.requests, IsEmpty());
}

TEST_F(AppStateTest, PrivacyModeSkipsHistoryOnly) {
    settings.setPrivacyMode(true);
    startRecording();
    stopRecording();
    transcriber.reply(TranscriptionResult::success(QStringLiteral("secret words")));
    EXPECT_THAT(history.items(), IsEmpty());
    EXPECT_EQ(app.lastTranscript(), u"secret words");
    EXPECT_EQ(settings.wordsDictated(), 2);
    EXPECT_THAT(inserter.inserted, ElementsAre("secret words"));
}

TEST_F(AppStateTest, EmptyTranscriptGoesThroughEveryStep) {
    startRecording();
    stopRecording();
    transcriber.reply(TranscriptionResult::success(QString()));
    EXPECT_TRUE(app.status().is(DictationStatus::Kind::Idle));
    EXPECT_EQ(history.items().size(), 1);
    EXPECT_EQ(settings.wordsDictated(), 0);
    EXPECT_THAT(inserter.inserted, ElementsAre(""));
}

TEST_F(AppStateTest, ErrorClearsAfterFourSecondsByTheEarliestTimer) {
    enterError();
    take();
    scheduler.advance(3999ms);
    EXPECT_TRUE(app.status().is(DictationStatus::Kind::Error));
    scheduler.advance(1ms);
    EXPECT_TRUE(app.status().is(DictationStatus::Kind::Idle));
    // Clearing refreshes nothing and plays nothing.
    EXPECT_THAT(take(), ElementsAre("status:idle"));

    enterError();
    scheduler.advance(3000ms);
    account.signedIn = false;
    app.startDictation(); // a second error, 3 s after the first
    take();
    scheduler.advance(1000ms);
    EXPECT_TRUE(app.status().is(DictationStatus::Kind::Idle));
    account.signedIn = true;
    startRecording();
    scheduler.advance(3000ms); // the second timer finds no error
    EXPECT_TRUE(app.status().is(DictationStatus::Kind::Recording));
}

TEST_F(AppStateTest, PasteLastPastesTheFinalTextOnly) {
    app.pasteLast();
    EXPECT_THAT(take(), IsEmpty());

    vocabulary.setReplacements(
        {{QUuid::createUuid(), QStringLiteral("gonna"), QStringLiteral("going to"), true}});
    startRecording();
    stopRecording();
    transcriber.reply(TranscriptionResult::success(QStringLiteral("gonna go")));
    take();
    app.pasteLast();
    EXPECT_THAT(take(), ElementsAre("insert:going to go"));
}

TEST_F(AppStateTest, CancelledTranscriptionResultIsDiscarded) {
    startRecording();
    const QString file = stopRecording();
    app.cancelDictation();
    EXPECT_TRUE(app.status().is(DictationStatus::Kind::Idle));
    take();

    transcriber.reply(TranscriptionResult::success(QStringLiteral("too late")));
    EXPECT_THAT(take(), ElementsAre("recorder.cleanup:" + file));
    EXPECT_EQ(app.lastTranscript(), QString());
    EXPECT_EQ(settings.wordsDictated(), 0);
    EXPECT_THAT(history.items(), IsEmpty());
}

TEST_F(AppStateTest, CancelBeforeTheRecorderDeliversSkipsTranscription) {
    startRecording();
    app.stopAndTranscribe();
    app.cancelDictation();
    take();
    recorder.finishStop(true);
    EXPECT_THAT(take(), ElementsAre("recorder.cleanup:" + recorder.stoppedFile));
    EXPECT_THAT(transcriber.requests, IsEmpty());

    startRecording();
    app.stopAndTranscribe();
    app.cancelDictation();
    take();
    recorder.finishStop(false);
    EXPECT_THAT(take(), IsEmpty());
}

TEST_F(AppStateTest, ResultDuringANewerRecordingIsDeliveredQuietly) {
    startRecording();
    const QString olderFile = stopRecording();
    startRecording();
    const QString recordingFile = recorder.currentFile;
    take();

    transcriber.reply(TranscriptionResult::success(QStringLiteral("first dictation")));
    EXPECT_THAT(take(), ElementsAre("recorder.cleanup:" + olderFile, "insert:first dictation",
                                    "usage.refresh"));
    EXPECT_TRUE(app.status().is(DictationStatus::Kind::Recording));
    EXPECT_EQ(app.lastTranscript(), u"first dictation");
    EXPECT_EQ(settings.wordsDictated(), 2);
    EXPECT_EQ(history.items().size(), 1);
    // The file being recorded is not the one cleaned up.
    EXPECT_FALSE(recorder.cleaned.contains(recordingFile));

    // The newer dictation then finishes normally.
    stopRecording();
    transcriber.reply(TranscriptionResult::success(QStringLiteral("second")));
    EXPECT_TRUE(app.status().is(DictationStatus::Kind::Idle));
    EXPECT_THAT(inserter.inserted, ElementsAre("first dictation", "second"));
}

TEST_F(AppStateTest, FailureOfAnOlderDictationShowsOnlyWhenNothingNewerRuns) {
    startRecording();
    const QString olderFile = stopRecording();
    startRecording();
    take();
    transcriber.reply(TranscriptionResult::failure(QStringLiteral("Network down")));
    EXPECT_THAT(take(), ElementsAre("recorder.cleanup:" + olderFile));
    EXPECT_TRUE(app.status().is(DictationStatus::Kind::Recording));

    // Also when the newer one is transcribing and the older one captured nothing.
    app.cancelDictation();
    startRecording();
    app.stopAndTranscribe();
    startRecording();
    take();
    recorder.finishStop(false);
    EXPECT_THAT(take(), IsEmpty());

    // Once the newer one is cancelled, the older one's failure is the news.
    app.cancelDictation();
    startRecording();
    const QString older = stopRecording();
    startRecording();
    app.cancelDictation();
    take();
    transcriber.reply(TranscriptionResult::failure(QStringLiteral("Network down")));
    EXPECT_THAT(take(), ElementsAre("recorder.cleanup:" + older, "status:error: Network down",
                                    "bar.show", "sound:Basso"));
}

// A paste that could not happen is an error with the failure sound, never the finished
// sound; the text stays in Paste Last and in the history. Privacy mode asks clipboard
// managers not to record it.
TEST_F(AppStateTest, AFailedPasteIsAnErrorAndTheTextIsKept) {
    const auto failure =
        InsertionOutcome::failed(InsertionOutcome::Failure::KeystrokeUnavailable, "no XTEST");
    inserter.outcome = failure;
    startRecording();
    stopRecording();
    take();
    transcriber.reply(TranscriptionResult::success(QStringLiteral("kept words")));
    const QStringList steps = take();
    EXPECT_THAT(steps, ::testing::Contains("status:error: " + AppState::pasteFailedMessage));
    EXPECT_THAT(steps, ::testing::Contains("sound:Basso"));
    EXPECT_THAT(steps, ::testing::Not(::testing::Contains("sound:Glass")));
    EXPECT_EQ(app.lastTranscript(), u"kept words");
    EXPECT_EQ(history.items().size(), 1);

    scheduler.advance(AppState::errorClearDelay);
    take();
    app.pasteLast();
    EXPECT_THAT(take(),
                ElementsAre("insert:kept words", "status:error: " + AppState::pasteFailedMessage,
                            "bar.show", "sound:Basso"));

    // During a newer recording the failure leaves its status alone.
    startRecording();
    take();
    app.pasteLast();
    EXPECT_THAT(take(), ElementsAre("insert:kept words"));
    app.cancelDictation();

    // Where nothing can type the keystroke the text waits on the clipboard, and the user
    // is told to paste it.
    scheduler.advance(AppState::errorClearDelay);
    inserter.outcome =
        InsertionOutcome::failed(InsertionOutcome::Failure::LeftOnClipboard, "no keystroke");
    take();
    app.pasteLast();
    EXPECT_THAT(take(), ::testing::Contains("status:error: " + AppState::leftOnClipboardMessage));

    inserter.outcome = InsertionOutcome::success();
    settings.setPrivacyMode(true);
    startRecording();
    stopRecording();
    take();
    transcriber.reply(TranscriptionResult::success(QStringLiteral("private")));
    EXPECT_THAT(take(), ::testing::Contains("insert:private (sensitive)"));
}

// Quitting while recording drops the recording with its file and unmutes; a result that
// arrives during the quit is not pasted.
TEST_F(AppStateTest, QuittingDropsTheRecordingAndUnmutes) {
    startRecording();
    take();
    app.prepareToQuit();
    EXPECT_THAT(take(), ElementsAre("recorder.cancel", "unmute", "status:idle"));

    startRecording();
    stopRecording();
    take();
    app.prepareToQuit();
    transcriber.reply(TranscriptionResult::success(QStringLiteral("late")));
    EXPECT_THAT(inserter.inserted, IsEmpty());
}

TEST_F(AppStateTest, ResultOfAnOlderDictationDoesNotEndANewerTranscription) {
    startRecording();
    stopRecording();
    startRecording();
    stopRecording();
    transcriber.reply(TranscriptionResult::success(QStringLiteral("older")));
    EXPECT_TRUE(app.status().is(DictationStatus::Kind::Transcribing));
    app.cancelDictation(); // cancels the newer one only
    transcriber.reply(TranscriptionResult::success(QStringLiteral("newer")));
    EXPECT_THAT(inserter.inserted, ElementsAre("older"));
}

TEST_F(AppStateTest, CallbacksDoNothingOnceTheControllerIsGone) {
    permissions.answerLater = true;
    app.startDictation();
    auto pendingAnswer = permissions.pendingAnswer;
    permissions.answerLater = false;
    permissions.answer(true);
    const QString file = stopRecording();
    enterError();
    startRecording();
    app.stopAndTranscribe();
    auto pendingStop = recorder.pendingStop;

    appPtr.reset();
    take();
    pendingAnswer(true);
    recorder.pendingStop = pendingStop;
    recorder.finishStop(true);
    transcriber.reply(TranscriptionResult::success(QStringLiteral("late")));
    scheduler.advance(10s);
    recorder.levelHandler(0.5f);
    EXPECT_THAT(take(), IsEmpty());
    EXPECT_THAT(inserter.inserted, IsEmpty());
}

TEST_F(AppStateTest, FloatingBarFollowsStatusAndSetting) {
    settings.setShowFloatingBar(false);
    app.refreshFloatingBar();
    EXPECT_FALSE(bar.visible);
    startRecording();
    EXPECT_TRUE(bar.visible);
    app.stopAndTranscribe();
    EXPECT_TRUE(bar.visible);
    recorder.finishStop(false);
    EXPECT_FALSE(bar.visible) << "an error hides the bar when the setting is off";
    settings.setShowFloatingBar(true);
    app.refreshFloatingBar();
    EXPECT_TRUE(bar.visible);
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
    EXPECT_EQ(access.count(), 2);
    EXPECT_EQ(microphone.count(), 2);
}

TEST_F(AppStateTest, ShortcutsReachTheControllerWithTheCurrentBindings) {
    app.bootstrap();
    EXPECT_TRUE(keySource.started);
    keybindings.setActivate(Shortcut::doubleTap(ModifierKey::Shift));
    EXPECT_EQ(hotkeys.activate(), Keybindings::fallbackActivate()) << "applied on a later pass";
    QCoreApplication::processEvents();
    EXPECT_EQ(hotkeys.activate(), Shortcut::doubleTap(ModifierKey::Shift));

    keySource.tapModifier(ModifierKey::Shift);
    keySource.tapModifier(ModifierKey::Shift);
    QCoreApplication::processEvents();
    EXPECT_TRUE(app.status().is(DictationStatus::Kind::Recording));
    EXPECT_TRUE(hotkeys.isRecordingActive());
    EXPECT_TRUE(keySource.consumed().contains(keybindings.cancel()))
        << "Esc is taken while recording";

    keySource.tapModifier(ModifierKey::Shift);
    QCoreApplication::processEvents();
    EXPECT_TRUE(app.status().is(DictationStatus::Kind::Transcribing));
    EXPECT_FALSE(keySource.consumed().contains(keybindings.cancel()));
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
    EXPECT_TRUE(keySource.started);
    app.pollPermissions();
    EXPECT_EQ(keySource.startCalls, 1) << "a running monitor is not started twice";
}

TEST_F(AppStateTest, FloatingBarSettingIsFollowedAfterTheChange) {
    app.bootstrap();
    EXPECT_TRUE(bar.visible);
    settings.setShowFloatingBar(false);
    EXPECT_TRUE(bar.visible);
    QCoreApplication::processEvents();
    EXPECT_FALSE(bar.visible);
}

// The built-in fn ×2 becomes Control ×2 where the key source cannot see fn; a binding the
// user chose is kept as stored, and only it brings the hint.
TEST_F(AppStateTest, UnseenFnDefaultFallsBackToControlButAChosenBindingStays) {
    const QString key = Keybindings::storageKey(KeybindAction::Activate);
    QSignalSpy spy(&app, &AppState::activateBindingCanFireChanged);
    app.applyKeybindings();
    EXPECT_EQ(hotkeys.activate(), Keybindings::fallbackActivate());
    EXPECT_TRUE(app.activateBindingCanFire());
    EXPECT_FALSE(store.contains(key)) << "the default is not written";

    keySource.visible |= mask(ModifierKey::Fn);
    app.applyKeybindings();
    EXPECT_EQ(hotkeys.activate(), Keybindings::defaultActivate()) << "a source that sees fn";
    keySource.visible &= ~mask(ModifierKey::Fn);

    keybindings.setActivate(Keybindings::defaultActivate());
    app.applyKeybindings();
    EXPECT_EQ(hotkeys.activate(), Keybindings::defaultActivate());
    EXPECT_FALSE(app.activateBindingCanFire());
    EXPECT_EQ(spy.count(), 1);
    keybindings.setActivate(Shortcut::doubleTap(ModifierKey::Shift));
    app.applyKeybindings();
    EXPECT_TRUE(app.activateBindingCanFire());
    EXPECT_EQ(spy.count(), 2);
}

// The menu's button, the bar, the tray menu and --toggle all go through this one decision.
TEST_F(AppStateTest, ToggleStopsWhileRecordingIgnoresTranscribingAndStartsOtherwise) {
    using Kind = DictationStatus::Kind;
    app.toggleDictation();
    EXPECT_TRUE(app.status().is(Kind::Recording));
    app.toggleDictation();
    EXPECT_TRUE(app.status().is(Kind::Transcribing));
    app.toggleDictation();
    EXPECT_TRUE(app.status().is(Kind::Transcribing)) << "no second dictation while transcribing";
    recorder.finishStop(false);
    ASSERT_TRUE(app.status().is(Kind::Error));
    app.toggleDictation();
    EXPECT_TRUE(app.status().is(Kind::Recording)) << "an error does not block the next start";
    EXPECT_EQ(app.statusKind(), Kind::Recording);
}

} // namespace
