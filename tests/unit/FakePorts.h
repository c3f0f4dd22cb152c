#pragma once

// Port fakes noting into one shared journal, so a test checks the order of all effects.

#include "KeySource.h"
#include "Ports.h"
#include "QtPrinters.h"

#include <QPointer>
#include <QStringList>

#include <algorithm>
#include <utility>

namespace orvanta::test {

using Journal = QStringList;

struct Journaled {
    explicit Journaled(Journal &journal)
        : journal(journal) {}
    void note(const QString &entry) const { journal.append(entry); }
    Journal &journal;
};

class FakeRecorder final : public RecorderPort, Journaled {
public:
    using Journaled::Journaled;
    bool start(const QString &deviceUID) override {
        note("recorder.start:" + deviceUID);
        recording = startSucceeds;
        filesMade += recording;
        return recording;
    }
    bool isRecording() const override { return recording; }
    void stop(std::function<void(std::optional<QString>)> completion) override {
        note("recorder.stop");
        if (!std::exchange(recording, false))
            return completion(std::nullopt);
        pendingStop = std::move(completion);
    }
    void cancel() override {
        note("recorder.cancel");
        if (std::exchange(recording, false))
            pendingStop = nullptr;
    }
    void cleanup(const QString &file) override { note("recorder.cleanup:" + file); }
    void setLevelHandler(std::function<void(float)> onLevel) override {
        levelHandler = std::move(onLevel);
    }
    void setStartFailureHandler(std::function<void()> onStartFailed) override {
        startFailureHandler = std::move(onStartFailed);
    }
    // The running recording turns out not to have begun.
    void failLateStart() {
        if (std::exchange(recording, false))
            startFailureHandler();
    }
    // Delivers the pending stop, with the file of the latest recording ("#1", "#2", …) or none.
    void finishStop(bool withFile = true) {
        const QString file = QStringLiteral("#%1").arg(filesMade);
        std::exchange(pendingStop, nullptr)(withFile ? std::optional(file) : std::nullopt);
    }

    bool startSucceeds = true;
    bool recording = false;
    int filesMade = 0;
    std::function<void(std::optional<QString>)> pendingStop;
    std::function<void(float)> levelHandler;
    std::function<void()> startFailureHandler;
};

class FakeTranscriber final : public TranscriptionPort, Journaled {
public:
    using Journaled::Journaled;
    void transcribe(const QString &audioFile,
                    std::function<void(TranscriptionResult)> done) override {
        note("transcribe:" + audioFile);
        requests.append(std::move(done));
    }
    // Answers the oldest request still open.
    void reply(TranscriptionResult result) { requests.takeFirst()(std::move(result)); }
    QList<std::function<void(TranscriptionResult)>> requests;
};

class FakeAccount final : public AccountSessionPort, Journaled {
public:
    using Journaled::Journaled;
    bool isSignedIn() const override { return signedIn; }
    void refreshUsage() override { note("usage.refresh"); }
    bool signedIn = true;
};

class FakeTextInserter final : public TextInsertionPort, Journaled {
public:
    using Journaled::Journaled;
    // Each insert is answered at once with `outcome`.
    void insert(const QString &text, const InsertionOptions &options, Done done) override {
        note("insert:" + text + (options.restoreClipboard ? "" : " (no restore)") +
             (options.sensitive ? " (sensitive)" : ""));
        inserted.append(text);
        if (done)
            done(outcome);
    }
    QStringList inserted;
    InsertionOutcome outcome;
};

// The speakers: other programs' audio muted and the sounds played.
class FakeSpeakers final : public SystemAudioPort, public SoundPort, Journaled {
public:
    using Journaled::Journaled;
    void muteIfNeeded() override { note("mute"); }
    void unmuteIfNeeded() override { note("unmute"); }
    void play(const QString &name) override { note("sound:" + name); }
};

class FakePermissions final : public PermissionsPort, Journaled {
public:
    using Journaled::Journaled;
    bool isMicrophoneAuthorized() const override { return microphoneAuthorized; }
    bool isInputAccessGranted() const override { return inputAccess; }
    void requestMicrophone(std::function<void(bool)> completion) override {
        note("microphone.request");
        if (answerLater)
            pendingAnswer = std::move(completion);
        else
            completion(microphoneAuthorized);
    }
    void openPrivacyPane(PrivacyPane pane) override {
        note(pane == PrivacyPane::Microphone ? "open:microphone-help" : "open:input-help");
    }
    void answer(bool granted) { std::exchange(pendingAnswer, nullptr)(granted); }

    bool microphoneAuthorized = true;
    bool inputAccess = true;
    bool answerLater = false; // like a prompt the user has not answered yet
    std::function<void(bool)> pendingAnswer;
};

class FakeFloatingBar final : public FloatingBarPort, Journaled {
public:
    using Journaled::Journaled;
    void show() override { note("bar.show"); }
    void hide() override { note("bar.hide"); }
};

class FakeLoginItem final : public LoginItemPort {
public:
    bool isEnabled() const override { return enabled; }
    void set(bool on) override { enabled = on; }
    bool enabled = false;
};

// A key source whose events the test delivers by hand.
class FakeKeySource final : public KeySource {
public:
    void setHandler(Handler handler) override { this->handler = std::move(handler); }
    bool start() override { return ++startCalls; }
    bool isStarted() const override { return startCalls > 0; }
    quint64 visibleModifiers() const override { return visible; }
    void setConsumedShortcuts(const QList<Shortcut> &shortcuts) override {
        consumedRequests.append(shortcuts);
    }
    bool keyDown(quint16 keyCode, quint64 flags) {
        return handler({KeyEvent::Type::KeyDown, keyCode, flags});
    }
    // Presses and releases a modifier, as a key source reports it.
    void tapModifier(ModifierKey key) {
        handler({KeyEvent::Type::FlagsChanged, 0, mask(key), std::chrono::steady_clock::now()});
        handler({KeyEvent::Type::FlagsChanged, 0, 0, std::chrono::steady_clock::now()});
    }

    Handler handler;
    int startCalls = 0;
    quint64 visible = mask(ModifierKey::Control) | mask(ModifierKey::Option) |
                      mask(ModifierKey::Command) | mask(ModifierKey::Shift);
    QList<QList<Shortcut>> consumedRequests;
};

// Holds delayed tasks until the test lets time pass.
class FakeScheduler final : public SchedulerPort {
public:
    struct Task {
        std::chrono::milliseconds due;
        QPointer<QObject> context;
        std::function<void()> run;
    };
    // Kept in order of their due time.
    void schedule(std::chrono::milliseconds delay, QObject *context,
                  std::function<void()> task) override {
        const auto later = [](auto due, const Task &t) { return due < t.due; };
        tasks.insert(std::upper_bound(tasks.begin(), tasks.end(), now + delay, later),
                     {now + delay, context, std::move(task)});
    }
    // Runs the tasks due up to `now + step`.
    void advance(std::chrono::milliseconds step) {
        now += step;
        while (!tasks.isEmpty() && tasks.first().due <= now) {
            const Task task = tasks.takeFirst();
            if (task.context)
                task.run();
        }
    }
    std::chrono::milliseconds now{0};
    QList<Task> tasks;
};

} // namespace orvanta::test
