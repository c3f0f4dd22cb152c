#pragma once

// The small interfaces through which the controller and the stores reach the platform.
// Production code plugs in the real adapters; tests plug in fakes.

#include <QString>

#include <chrono>
#include <functional>
#include <optional>

class QObject;

namespace orvanta {

// Records the microphone into a temporary file.
class RecorderPort {
public:
    virtual ~RecorderPort() = default;
    // True when recording has begun; it may still fail shortly after (see
    // setStartFailureHandler). "__default__" or an unknown id takes the default input.
    virtual bool start(const QString &deviceUID) = 0;
    virtual bool isRecording() const = 0;
    // Calls `completion` once, on the main thread, with the finished file or with nothing.
    // When not recording it is called at once with nothing.
    virtual void stop(std::function<void(std::optional<QString> file)> completion) = 0;
    // Ends a running recording, deletes its file and calls no completion.
    virtual void cancel() = 0;
    // Deletes `file` (a file this recorder delivered) and forgets it if it is the last one.
    virtual void cleanup(const QString &file) = 0;
    // Receives the input level, 0 and up, about 20 times a second on the main thread.
    virtual void setLevelHandler(std::function<void(float level)> onLevel) = 0;
    // Told on the main thread when the running recording could not begin after all (no sound
    // server, no microphone); the recorder is not recording then. Never for a recording that
    // was stopped or cancelled: its stop completes with nothing instead.
    virtual void setStartFailureHandler(std::function<void()> onStartFailed) = 0;
};

struct TranscriptionResult {
    std::optional<QString> text; // set on success
    QString errorMessage;        // the user-facing text on failure

    static TranscriptionResult success(QString text) { return {std::move(text), {}}; }
    static TranscriptionResult failure(QString message) {
        return {std::nullopt, std::move(message)};
    }
    bool succeeded() const { return text.has_value(); }
};

// Sends a recording to the transcription service.
class TranscriptionPort {
public:
    virtual ~TranscriptionPort() = default;
    // Calls `done` once, later, on the main thread.
    virtual void transcribe(const QString &audioFile,
                            std::function<void(TranscriptionResult)> done) = 0;
};

// The signed-in account and its usage figures.
class AccountSessionPort {
public:
    virtual ~AccountSessionPort() = default;
    virtual bool isSignedIn() const = 0;
    // Asynchronous; nothing waits for it.
    virtual void refreshUsage() = 0;
};

struct InsertionOptions {
    // The clipboard the user had is put back after the paste.
    bool restoreClipboard = true;
    // Clipboard managers are asked not to record the text (privacy mode).
    bool sensitive = false;
};

// What became of one insert.
struct InsertionOutcome {
    enum class Failure : quint8 {
        None,
        // The text could not be put where the target reads it (clipboard ownership lost).
        ClipboardUnavailable,
        // The paste keystroke could not be synthesized (no XTEST, no virtual keyboard, no
        // Control or V key in the keyboard map).
        KeystrokeUnavailable,
        // The text is on the clipboard, but nothing in this session can type the paste
        // keystroke: the user pastes it.
        LeftOnClipboard,
    };

    Failure failure = Failure::None;
    QString detail; // for the log, not shown

    static InsertionOutcome success() { return {}; }
    static InsertionOutcome failed(Failure failure, QString detail) {
        return {failure, std::move(detail)};
    }
    bool succeeded() const { return failure == Failure::None; }
};

// Pastes text at the cursor of the focused application.
class TextInsertionPort {
public:
    using Done = std::function<void(const InsertionOutcome &)>;

    virtual ~TextInsertionPort() = default;
    // Returns at once; the paste happens shortly afterwards. `done` (may be empty) is called
    // once, later, on the main thread, when the keystroke was sent or could not be.
    virtual void insert(const QString &text, const InsertionOptions &options, Done done) = 0;
};

// Mutes the default output during a recording and restores it afterwards, but only when
// this application muted it.
class SystemAudioPort {
public:
    virtual ~SystemAudioPort() = default;
    virtual void muteIfNeeded() = 0;
    virtual void unmuteIfNeeded() = 0;
};

enum class PrivacyPane { Microphone, InputAccess };

class PermissionsPort {
public:
    virtual ~PermissionsPort() = default;
    virtual bool isMicrophoneAuthorized() const = 0;
    // Whether global key events can be observed and the paste keystroke synthesized.
    virtual bool isInputAccessGranted() const = 0;
    // Answers on the main thread; synchronously when the answer is already known.
    virtual void requestMicrophone(std::function<void(bool granted)> completion) = 0;
    // Shows the user how to grant the access.
    virtual void openPrivacyPane(PrivacyPane pane) = 0;
};

// Plays the short named sounds; an unknown name plays nothing.
class SoundPort {
public:
    virtual ~SoundPort() = default;
    virtual void play(const QString &name) = 0;
};

// The always-on-top bar at the bottom of the screen.
class FloatingBarPort {
public:
    virtual ~FloatingBarPort() = default;
    virtual void show() = 0;
    virtual void hide() = 0;
};

// Registration of the application to open at login.
class LoginItemPort {
public:
    virtual ~LoginItemPort() = default;
    virtual bool isEnabled() const = 0;
    // Changes the registration only when it differs; failures are logged, not reported.
    virtual void set(bool enabled) = 0;
};

// Runs a task once after a delay on the main thread, unless `context` is gone by then.
class SchedulerPort {
public:
    virtual ~SchedulerPort() = default;
    virtual void schedule(std::chrono::milliseconds delay, QObject *context,
                          std::function<void()> task) = 0;
};

class QtScheduler final : public SchedulerPort {
public:
    void schedule(std::chrono::milliseconds delay, QObject *context,
                  std::function<void()> task) override;
};

} // namespace orvanta
