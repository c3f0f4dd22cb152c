#pragma once

// Service, orvanta and microphone for the e2e tests and app benchmark; each ends with its object.

#include "HistoryItem.h"
#include "Jwt.h"
#include "ServiceProcess.h"
#include "StandInServer.h"

#include <QDir>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include <chrono>
#include <functional>

namespace orvanta::e2e {

// Long enough for any step on a loaded machine under the sanitizers.
inline constexpr std::chrono::seconds patience{120};
inline constexpr int patienceMs = int(std::chrono::milliseconds(patience).count());

// A helper program's standard output, or nothing when it failed.
inline std::optional<QString> runTool(const QString &program, const QStringList &arguments) {
    const test::CommandResult outcome = test::runProgram(program, arguments);
    return outcome.exitCode == 0 ? std::optional(QString::fromUtf8(outcome.output)) : std::nullopt;
}

// Waits, running the event loop, until `condition` holds; false once `timeout` passed.
inline bool waitUntil(const std::function<bool()> &condition,
                      std::chrono::milliseconds timeout = patience) {
    return QTest::qWaitFor(condition, int(timeout.count()));
}

// The dictations recorded in a history file, newest first; none when it is unreadable.
inline QList<HistoryItem> historyIn(const QString &fileName) {
    return decodeHistory(test::TempFolder::read(fileName)).value_or(QList<HistoryItem>());
}

// Signs `email` in with one click: orvanta-service's offline recogniser expecting `sentences`,
// else a stand-in answering /transcribe with the latest "transcript <text>" command.
class DictationService {
public:
    explicit DictationService(QString email, QStringList sentences = {}, int wordLimit = 10000)
        : m_email(std::move(email))
        , m_sentences(std::move(sentences))
        , m_wordLimit(wordLimit) {}

    bool start() {
        if (!m_sentences.isEmpty())
            return startSelfHosted();
        // Both tokens are made of characters a URL takes as they are.
        const QString callback = QStringLiteral("orvanta://auth/callback?access_token=%1&"
                                                "refresh_token=%2")
                                     .arg(test::makeJwt({{QStringLiteral("email"), m_email}}),
                                          QUuid::createUuid().toString(QUuid::WithoutBraces));
        m_standIn.emplace();
        m_standIn->reply(QStringLiteral("/signin"), {302, {}, {}, callback.toLatin1()}, true);
        return command(QStringLiteral("transcript hello")) && m_standIn->port() > 0;
    }
    QString baseUrl() const { return m_standIn ? m_standIn->baseUrl() : m_service->baseUrl(); }

    bool command(const QString &line) {
        const QJsonObject answer{{QStringLiteral("text"), line.section(u' ', 1)}};
        if (!m_standIn || !line.startsWith(QLatin1String("transcript ")))
            return false;
        m_standIn->reply(QStringLiteral("/transcribe"), {200, QJsonDocument(answer).toJson()},
                         true);
        return true;
    }

    // When the latest request at `path` arrived at the stand-in.
    std::optional<std::chrono::steady_clock::time_point> lastArrival(const QString &path) const {
        const auto request = m_standIn ? m_standIn->last(path) : std::nullopt;
        return request ? std::optional(request->arrived) : std::nullopt;
    }

private:
    bool startSelfHosted() {
        // The recogniser is reliable on synthesised speech when it expects these sentences.
        const QString grammar = m_dir.filePath(QStringLiteral("sentences.gram"));
        const QString settings = m_dir.filePath(QStringLiteral("service.ini"));
        const QString ini = QStringLiteral("[local]\ngrammar=%1\n[plans]\nfree_limit=%2\n")
                                .arg(grammar)
                                .arg(m_wordLimit);
        test::TempFolder::write(grammar, "#JSGF V1.0;\ngrammar sentences;\npublic <sentence> = " +
                                             m_sentences.join(QStringLiteral(" | ")).toUtf8() +
                                             ";\n");
        test::TempFolder::write(settings, ini.toUtf8());
        m_service.emplace(m_dir.filePath(QStringLiteral("data")),
                          QStringList{QStringLiteral("--backend"), QStringLiteral("local"),
                                      QStringLiteral("--local-user"), m_email,
                                      QStringLiteral("--config"), settings});
        return m_service->isServing();
    }

    QString m_email;
    QStringList m_sentences;
    int m_wordLimit;
    QTemporaryDir m_dir;
    std::optional<test::StandInServer> m_standIn;
    std::optional<test::ServiceProcess> m_service;
};

// One instance of the orvanta executable, with configuration, data and browser of its own.
class OrvantaProcess {
public:
    explicit OrvantaProcess(const QString &serviceUrl)
        : m_environment(QProcessEnvironment::systemEnvironment()) {
        for (const char *folder : {"config", "data", "cache", "bin", "runtime"})
            QDir(m_dir.path()).mkpath(QString::fromLatin1(folder));
        QFile::setPermissions(file(QStringLiteral("runtime")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // The desktop opens links with the first xdg-open on the PATH.
        QFile::link(QStringLiteral(ORVANTA_E2E_BROWSER), file(QStringLiteral("bin/xdg-open")));

        // Qt Quick's software renderer leaks at exit; our own leaks are the unit tests' concern.
        const QString asan = m_environment.value(QStringLiteral("ASAN_OPTIONS"));
        const std::pair<const char *, QString> variables[] = {
            // The sound server stays reachable with a runtime folder of the instance's own.
            {"PULSE_SERVER",
             m_environment.value(QStringLiteral("PULSE_SERVER"),
                                 QStringLiteral("unix:%1/pulse/native")
                                     .arg(m_environment.value(QStringLiteral("XDG_RUNTIME_DIR"))))},
            {"XDG_RUNTIME_DIR", file(QStringLiteral("runtime"))},
            {"XDG_CONFIG_HOME", file(QStringLiteral("config"))},
            {"XDG_DATA_HOME", file(QStringLiteral("data"))},
            {"XDG_CACHE_HOME", file(QStringLiteral("cache"))},
            {"PATH", file(QStringLiteral("bin:")) + m_environment.value(QStringLiteral("PATH"))},
            {"ORVANTA_E2E_APP", QStringLiteral(ORVANTA_E2E_APP)},
            {"ORVANTA_SERVICE_URL", serviceUrl},
            {"ASAN_OPTIONS",
             (asan.isEmpty() ? QString() : asan + u':') + QStringLiteral("detect_leaks=0")}};
        for (const auto &[name, value] : variables)
            m_environment.insert(QString::fromLatin1(name), value);
        m_instance.setProcessEnvironment(m_environment);
        m_instance.setProcessChannelMode(QProcess::ForwardedChannels);
    }
    ~OrvantaProcess() { quit(); }

    // A file in its private folders: config/, data/, cache/, runtime/ ($XDG_RUNTIME_DIR).
    QString file(const QString &name) const { return m_dir.filePath(name); }
    QString configFile() const { return file(QStringLiteral("config/Orvanta/Orvanta.conf")); }
    QString historyFile() const { return file(QStringLiteral("data/Orvanta/history.json")); }

    bool start() {
        m_instance.start(QStringLiteral(ORVANTA_E2E_APP), {});
        return m_instance.waitForStarted(patienceMs);
    }
    // Starts the instance; true once it answers --status.
    bool launch() {
        return start() && waitUntil([this] { return status().has_value() || !isRunning(); }) &&
               isRunning();
    }
    qint64 pid() const { return m_instance.processId(); }
    bool isRunning() const { return m_instance.state() != QProcess::NotRunning; }
    test::CommandResult run(const QStringList &arguments) const {
        return test::runProgram(QStringLiteral(ORVANTA_E2E_APP), arguments, {}, m_environment);
    }
    // The line `orvanta --status` prints, or nothing when it fails.
    std::optional<QString> status() const {
        const test::CommandResult outcome = run({QStringLiteral("--status")});
        return outcome.exitCode == 0 ? std::optional(QString::fromUtf8(outcome.output).trimmed())
                                     : std::nullopt;
    }
    bool waitForStatus(const QString &expected,
                       std::chrono::milliseconds timeout = patience) const {
        return waitUntil([&] { return status() == expected; }, timeout);
    }
    // Asks the instance to quit; its exit code once it ended, or nothing.
    std::optional<int> quit() {
        if (!isRunning())
            return std::nullopt;
        run({QStringLiteral("--quit")});
        if (!m_instance.waitForFinished(patienceMs) ||
            m_instance.exitStatus() != QProcess::NormalExit)
            return std::nullopt;
        return m_instance.exitCode();
    }

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_environment;
    QProcess m_instance;
};

// espeak-ng speech played into the microphone sink of tests/scripts/with-pulseaudio.sh.
class Microphone {
public:
    Microphone() {
        for (QProcess *process : {&m_silence, &m_listener})
            process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_listener.setStandardOutputFile(QProcess::nullDevice());
    }
    ~Microphone() {
        for (QProcess *process : {&m_silence, &m_listener}) {
            process->kill();
            process->waitForFinished();
        }
    }

    // Silence and a listener keep the source running, so a recorder hears from its first moment.
    bool startSteadyStream() {
        const QStringList format =
            QStringLiteral("--raw --format=s16le --rate=16000 --channels=1 --latency-msec=50")
                .split(u' ');
        m_silence.start(QStringLiteral("pacat"),
                        format + QStringList{QStringLiteral("--playback"),
                                             QStringLiteral("--device=virtmic"),
                                             QStringLiteral("/dev/zero")});
        m_listener.start(QStringLiteral("parec"),
                         format + QStringList{QStringLiteral("--device=vmic")});
        return m_silence.waitForStarted(patienceMs) && m_listener.waitForStarted(patienceMs);
    }

    // Renders `sentence` once, then plays it into the microphone to its end.
    bool speak(const QString &sentence) {
        const QString wav = m_dir.filePath(QStringLiteral("speech-%1.wav").arg(qHash(sentence)));
        return (QFile::exists(wav) ||
                runTool(QStringLiteral("espeak-ng"), {QStringLiteral("-w"), wav, sentence})) &&
               runTool(QStringLiteral("paplay"), {QStringLiteral("--device=virtmic"), wav});
    }

private:
    QTemporaryDir m_dir;
    QProcess m_silence;
    QProcess m_listener;
};

} // namespace orvanta::e2e
