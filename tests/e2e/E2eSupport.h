#pragma once

// The pieces of a whole-application run: the service, the orvanta executable with a private
// environment and the microphone's sound, for the end-to-end tests and the application
// benchmarks. Everything started here is stopped by its PID.

#include "HistoryItem.h"

#include <QHash>
#include <QHttpServer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <optional>

namespace orvanta::e2e {

// Long enough for any step on a loaded machine under the sanitizers; every wait for a
// condition ends as soon as it holds.
inline constexpr std::chrono::seconds patience{120};

struct ProcessOutcome {
    int exitCode = -1; // -1 when it crashed or did not end
    QString output;
};

// Runs a helper program to its end, its errors shown in the test's output; its standard
// output, or nothing when it failed.
std::optional<QString> runTool(const QString &program, const QStringList &arguments);

// Waits, running the event loop, until `condition` holds; false once `timeout` passed.
bool waitUntil(const std::function<bool()> &condition, std::chrono::milliseconds timeout);

// The dictations recorded in a history file, newest first; none when it is unreadable.
QList<HistoryItem> historyIn(const QString &file);

// A service on a free port of 127.0.0.1 that signs `email` in with one click. Without
// `sentences`, a stand-in served by this process's event loop: /signin sends the browser back
// to orvanta://auth/callback with a token for `email`, and /transcribe answers the holder of
// that token with the text of the latest "transcript <text>" command. Given the `sentences` to
// expect, orvanta-service as a child process, with its offline recogniser, a data folder of
// its own and `wordLimit` words a month for the account.
class ServiceProcess {
public:
    explicit ServiceProcess(QString email, QStringList sentences = {}, int wordLimit = 10000);
    ~ServiceProcess();

    // True once it accepts connections.
    bool start();
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    bool command(const QString &line);
    // When the latest request at `path` arrived at the stand-in.
    std::optional<std::chrono::steady_clock::time_point> lastArrival(const QString &path) const;

private:
    bool startSelfHosted();

    QString m_email;
    QStringList m_sentences;
    int m_wordLimit;
    QTemporaryDir m_dir;
    QProcess m_process;
    QHttpServer m_server;
    QHash<QString, std::chrono::steady_clock::time_point> m_arrivals;
    QString m_transcript = QStringLiteral("hello");
    quint16 m_port = 0;
};

// The orvanta executable: one running instance, and the command-line requests a user or a
// script makes of it. Its configuration, data and browser are private to this object.
class OrvantaProcess {
public:
    explicit OrvantaProcess(const QString &serviceUrl);
    ~OrvantaProcess();

    // A file in its private folders: config/, data/, cache/, runtime/ ($XDG_RUNTIME_DIR).
    QString file(const QString &name) const { return m_dir.filePath(name); }
    QString configFile() const { return file(QStringLiteral("config/Orvanta/Orvanta.conf")); }
    QString historyFile() const { return file(QStringLiteral("data/Orvanta/history.json")); }
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
    // Renders `sentence` once, then plays it into the microphone to its end.
    bool speak(const QString &sentence);

private:
    QTemporaryDir m_dir;
    QProcess m_silence;
    QProcess m_listener;
};

} // namespace orvanta::e2e
