#pragma once

// The pieces of a whole-application run: the test service or orvanta-service, the orvanta
// executable with a private environment, the microphone's sound and the result files, for
// the end-to-end tests and the application benchmarks. Everything started here is stopped
// by its PID.

#include "HistoryItem.h"
#include "X11TestSupport.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

namespace orvanta::e2e {

// Long enough for any step on a loaded machine under the sanitizers; every wait for a
// condition ends as soon as it holds.
inline constexpr std::chrono::seconds patience{120};

struct ProcessOutcome {
    int exitCode = -1; // -1 when it crashed or did not end
    QString output;
    QString errors;
};

// Runs a helper program to its end; its standard output, or nothing when it failed.
std::optional<QString> runTool(const QString &program, const QStringList &arguments,
                               QString *errors = nullptr);

// Waits, running the event loop, until `condition` holds; false once `timeout` passed.
bool waitUntil(const std::function<bool()> &condition, std::chrono::milliseconds timeout);

// A service on a free port of 127.0.0.1 as a child process, signing in `email` in one click:
// the test service (tests/e2e/TestService.cpp), which answers as it is told and records what
// it receives, or, given the `sentences` to expect, orvanta-service with its offline
// recogniser and a data folder of its own.
class ServiceProcess {
public:
    explicit ServiceProcess(QString email, QStringList sentences = {});
    ~ServiceProcess();

    // True once it accepts connections.
    bool start();
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    // What it printed.
    QString output() const { return m_lines.join(u'\n'); }

    // Of the test service: sends one command and waits for its acknowledgement.
    bool command(const QString &line);
    // The body of every request received so far at `path`, oldest first.
    QList<QByteArray> requests(const QString &path) const;
    bool waitForRequests(const QString &path, qsizetype count, std::chrono::milliseconds timeout);
    // When the latest request at `path` arrived, as this process saw the service report it.
    std::optional<std::chrono::steady_clock::time_point> lastArrival(const QString &path) const;

private:
    bool startSelfHosted();

    QString m_email;
    QStringList m_sentences;
    QTemporaryDir m_dir;
    QProcess m_process;
    QStringList m_lines;
    QHash<QString, std::chrono::steady_clock::time_point> m_arrivals;
    quint16 m_port = 0;
};

// The orvanta executable: one running instance, and the command-line requests a user or a
// script makes of it. Its configuration, data and browser are private to this object.
class OrvantaProcess {
public:
    explicit OrvantaProcess(const QString &serviceUrl);
    ~OrvantaProcess();

    QString configFile() const;
    QString historyFile() const;
    // Its $XDG_RUNTIME_DIR.
    QString runtimeDirectory() const;
    // Each link the stand-in browser was asked to open.
    QStringList browserVisits() const;

    // Starts the instance without waiting for it.
    bool start();
    // Starts the instance; true once it answers --status.
    bool launch();
    qint64 pid() const { return m_instance.processId(); }
    bool isRunning() const { return m_instance.state() != QProcess::NotRunning; }
    // Runs `orvanta <arguments>` to its end.
    ProcessOutcome run(const QStringList &arguments) const;
    // The line `orvanta --status` prints, or nothing when it fails.
    std::optional<QString> status() const;
    bool waitForStatus(const QString &expected, std::chrono::milliseconds timeout) const;
    // Asks the instance to quit; its exit code once it ended, or nothing.
    std::optional<int> quit();

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_environment;
    QProcess m_instance;
};

// espeak-ng speech played into the microphone sink of tests/scripts/with-pulseaudio.sh.
class Microphone {
public:
    Microphone();
    ~Microphone();
    // Keeps the microphone live, as a real one is: silence plays into it while nothing else
    // does, and a listener keeps the source running, so a recorder hears from its first
    // moment on instead of after the server's wake-up delay.
    bool startSteadyStream();
    // Renders `sentence` once, then plays it into the microphone to its end; the seconds
    // played, or nothing when it could not be played.
    std::optional<double> speak(const QString &sentence);

private:
    QTemporaryDir m_dir;
    QProcess m_silence;
    QProcess m_listener;
};

struct AudioFacts {
    double seconds = 0;
    double maxVolumeDb = -1000;
};

// What ffmpeg tells of an audio file's bytes once it decoded all of them.
std::optional<AudioFacts> inspectAudio(const QByteArray &bytes);

// The secret the application keeps under `account` in the Secret Service.
std::optional<QString> storedSecret(const QString &account);
// The dictations recorded in a history file, newest first; none when it is unreadable.
QList<HistoryItem> historyIn(const QString &file);

// The processes of one end-to-end session, started in this order: the service, the user's
// keyboard, a steady microphone stream, the focused target window and orvanta itself (after
// `prepare` has written its preferences).
template <typename Keyboard = test::XKeyboard> struct DictationSession {
    ServiceProcess service;
    std::unique_ptr<OrvantaProcess> app;
    Keyboard keyboard;
    test::TargetApp target;
    Microphone microphone;

    template <typename... ServiceArguments>
    explicit DictationSession(ServiceArguments &&...arguments)
        : service(std::forward<ServiceArguments>(arguments)...) {}

    // Nothing when everything runs, else what did not start.
    const char *start(const std::function<void(const QString &configFile)> &prepare) {
        if (!service.start())
            return "the service did not start";
        if (!keyboard.isOpen())
            return "the desktop lets no client type";
        if (!microphone.startSteadyStream())
            return "the microphone stream did not start";
        if (!startTarget())
            return "the target window did not start";
        app = std::make_unique<OrvantaProcess>(service.baseUrl());
        prepare(app->configFile());
        if (!app->launch()) {
            app.reset();
            return "orvanta did not start";
        }
        return nullptr;
    }

private:
    // An X target takes the focus with the test's keyboard; a Wayland compositor gives it.
    bool startTarget() {
        if constexpr (std::is_same_v<Keyboard, test::XKeyboard>)
            return target.start(keyboard);
        else
            return target.start();
    }
};

} // namespace orvanta::e2e
