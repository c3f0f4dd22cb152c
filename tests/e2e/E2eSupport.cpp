#include "E2eSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>
#include <QUrlQuery>
#include <QUuid>

namespace orvanta::e2e {

namespace {

constexpr int processTimeoutMs = int(std::chrono::milliseconds(patience).count());

QByteArray readAll(const QString &fileName) {
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &fileName, const QByteArray &bytes) {
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

ProcessOutcome runProcess(const QString &program, const QStringList &arguments,
                          const QProcessEnvironment &environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForFinished(processTimeoutMs)) {
        process.kill();
        process.waitForFinished(3000);
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput())};
}

void stopChild(QProcess &process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

} // namespace

std::optional<QString> runTool(const QString &program, const QStringList &arguments) {
    const ProcessOutcome outcome =
        runProcess(program, arguments, QProcessEnvironment::systemEnvironment());
    return outcome.exitCode == 0 ? std::optional(outcome.output) : std::nullopt;
}

bool waitUntil(const std::function<bool()> &condition, std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(20);
    }
    return true;
}

QList<HistoryItem> historyIn(const QString &file) {
    return decodeHistory(readAll(file)).value_or(QList<HistoryItem>());
}

ServiceProcess::ServiceProcess(QString email, QStringList sentences, int wordLimit)
    : m_email(std::move(email))
    , m_sentences(std::move(sentences))
    , m_wordLimit(wordLimit) {}

ServiceProcess::~ServiceProcess() {
    stopChild(m_process);
}

bool ServiceProcess::start() {
    if (!m_sentences.isEmpty())
        return startSelfHosted();
    const auto base64Url = [](const QByteArray &bytes) {
        return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    };
    const QString token =
        QString::fromLatin1(base64Url(R"({"alg":"none","typ":"JWT"})") + '.' +
                            base64Url(QJsonDocument(QJsonObject{{QStringLiteral("email"), m_email}})
                                          .toJson(QJsonDocument::Compact)) +
                            ".unsigned");
    m_server.route(QStringLiteral("/signin"), [token] {
        QUrlQuery query;
        query.addQueryItem(QStringLiteral("access_token"), token);
        query.addQueryItem(QStringLiteral("refresh_token"),
                           QUuid::createUuid().toString(QUuid::WithoutBraces));
        QUrl callback(QStringLiteral("orvanta://auth/callback"));
        callback.setQuery(query);
        QHttpServerResponse response(QHttpServerResponse::StatusCode::Found);
        response.addHeader("Location", callback.toEncoded());
        return response;
    });
    m_server.route(QStringLiteral("/transcribe"), [this, token](const QHttpServerRequest &request) {
        m_arrivals.insert(request.url().path(), std::chrono::steady_clock::now());
        const bool holder = request.value("Authorization") == "Bearer " + token.toLatin1();
        const QJsonObject answer{{holder ? QStringLiteral("text") : QStringLiteral("error"),
                                  holder ? m_transcript : QStringLiteral("invalid token")}};
        return QHttpServerResponse("application/json",
                                   QJsonDocument(answer).toJson(QJsonDocument::Compact),
                                   holder ? QHttpServerResponse::StatusCode::Ok
                                          : QHttpServerResponse::StatusCode::Unauthorized);
    });
    m_port = m_server.listen(QHostAddress::LocalHost, 0);
    return m_port != 0;
}

bool ServiceProcess::startSelfHosted() {
    // A grammar of the expected sentences makes the offline recogniser reliable on speech
    // synthesised for the test.
    const QString grammar = m_dir.filePath(QStringLiteral("sentences.gram"));
    const QString settings = m_dir.filePath(QStringLiteral("service.ini"));
    if (!writeFile(grammar, "#JSGF V1.0;\ngrammar sentences;\npublic <sentence> = " +
                                m_sentences.join(QStringLiteral(" | ")).toUtf8() + ";\n") ||
        !writeFile(settings, "[local]\ngrammar=" + grammar.toUtf8() +
                                 "\n[plans]\nfree_limit=" + QByteArray::number(m_wordLimit) + '\n'))
        return false;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(ORVANTA_E2E_SELF_HOSTED_SERVICE),
                    {QStringLiteral("--listen"), QStringLiteral("127.0.0.1"),
                     QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--data"),
                     m_dir.filePath(QStringLiteral("data")), QStringLiteral("--backend"),
                     QStringLiteral("local"), QStringLiteral("--local-user"), m_email,
                     QStringLiteral("--config"), settings});
    // It prints its address once the recogniser's model is loaded, which takes a while under
    // the sanitizers.
    static const QRegularExpression listening(QStringLiteral("listening on http://[^:]+:(\\d+)"));
    QString printed;
    waitUntil(
        [&] {
            printed += QString::fromUtf8(m_process.readAllStandardOutput());
            m_port = quint16(listening.match(printed).captured(1).toUInt());
            return m_port != 0 || m_process.state() == QProcess::NotRunning;
        },
        patience);
    return m_port != 0;
}

bool ServiceProcess::command(const QString &line) {
    if (!line.startsWith(QLatin1String("transcript ")))
        return false;
    m_transcript = line.section(u' ', 1);
    return true;
}

std::optional<std::chrono::steady_clock::time_point>
ServiceProcess::lastArrival(const QString &path) const {
    const auto found = m_arrivals.constFind(path);
    return found == m_arrivals.cend() ? std::nullopt : std::optional(*found);
}

OrvantaProcess::OrvantaProcess(const QString &serviceUrl)
    : m_environment(QProcessEnvironment::systemEnvironment()) {
    const QDir root(m_dir.path());
    for (const char *folder : {"config", "data", "cache", "bin", "runtime"})
        root.mkpath(QString::fromLatin1(folder));
    QFile::setPermissions(file(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // The desktop opens links with the first xdg-open on the PATH.
    QFile::link(QStringLiteral(ORVANTA_E2E_BROWSER), file(QStringLiteral("bin/xdg-open")));

    // The sound server stays reachable when the instance gets a runtime folder of its own.
    const QString runtime = m_environment.value(QStringLiteral("XDG_RUNTIME_DIR"));
    if (!runtime.isEmpty() && !m_environment.contains(QStringLiteral("PULSE_SERVER")))
        m_environment.insert(QStringLiteral("PULSE_SERVER"),
                             QStringLiteral("unix:") + runtime + QStringLiteral("/pulse/native"));
    // Qt Quick's software renderer leaves blocks of its own behind at exit; leaks of this
    // project's code are the unit and view tests' concern.
    const QString asan = m_environment.value(QStringLiteral("ASAN_OPTIONS"));
    const std::pair<const char *, QString> variables[] = {
        {"XDG_RUNTIME_DIR", file(QStringLiteral("runtime"))},
        {"XDG_CONFIG_HOME", file(QStringLiteral("config"))},
        {"XDG_DATA_HOME", file(QStringLiteral("data"))},
        {"XDG_CACHE_HOME", file(QStringLiteral("cache"))},
        {"PATH", file(QStringLiteral("bin:")) + m_environment.value(QStringLiteral("PATH"))},
        {"ORVANTA_E2E_APP", QStringLiteral(ORVANTA_E2E_APP)},
        {"ORVANTA_E2E_BROWSER_LOG", file(QStringLiteral("browser.log"))},
        {"ORVANTA_SERVICE_URL", serviceUrl},
        {"ORVANTA_ACCOUNT_URL", serviceUrl},
        {"QT_QUICK_BACKEND", QStringLiteral("software")},
        {"ASAN_OPTIONS",
         (asan.isEmpty() ? QString() : asan + u':') + QStringLiteral("detect_leaks=0")}};
    for (const auto &[name, value] : variables)
        m_environment.insert(QString::fromLatin1(name), value);
    m_instance.setProcessEnvironment(m_environment);
    m_instance.setProcessChannelMode(QProcess::ForwardedChannels);
}

OrvantaProcess::~OrvantaProcess() {
    if (isRunning() && !quit())
        stopChild(m_instance);
}

QStringList OrvantaProcess::browserVisits() const {
    return QString::fromUtf8(readAll(file(QStringLiteral("browser.log"))))
        .split(u'\n', Qt::SkipEmptyParts);
}

bool OrvantaProcess::start() {
    m_instance.start(QStringLiteral(ORVANTA_E2E_APP), {});
    return m_instance.waitForStarted(processTimeoutMs);
}

bool OrvantaProcess::launch() {
    return start() &&
           waitUntil([this] { return status().has_value() || !isRunning(); }, patience) &&
           isRunning();
}

ProcessOutcome OrvantaProcess::run(const QStringList &arguments) const {
    return runProcess(QStringLiteral(ORVANTA_E2E_APP), arguments, m_environment);
}

std::optional<QString> OrvantaProcess::status() const {
    const ProcessOutcome outcome = run({QStringLiteral("--status")});
    return outcome.exitCode == 0 ? std::optional(outcome.output.trimmed()) : std::nullopt;
}

bool OrvantaProcess::waitForStatus(const QString &expected,
                                   std::chrono::milliseconds timeout) const {
    return waitUntil([&] { return status() == expected; }, timeout);
}

std::optional<int> OrvantaProcess::quit() {
    if (!isRunning())
        return std::nullopt;
    run({QStringLiteral("--quit")});
    if (!m_instance.waitForFinished(processTimeoutMs) ||
        m_instance.exitStatus() != QProcess::NormalExit)
        return std::nullopt;
    return m_instance.exitCode();
}

Microphone::Microphone() {
    for (QProcess *process : {&m_silence, &m_listener})
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_listener.setStandardOutputFile(QProcess::nullDevice());
}

Microphone::~Microphone() {
    stopChild(m_listener);
    stopChild(m_silence);
}

bool Microphone::startSteadyStream() {
    const QStringList format{QStringLiteral("--raw"), QStringLiteral("--format=s16le"),
                             QStringLiteral("--rate=16000"), QStringLiteral("--channels=1"),
                             QStringLiteral("--latency-msec=50")};
    m_silence.start(QStringLiteral("pacat"),
                    QStringList{QStringLiteral("--playback"), QStringLiteral("--device=virtmic")} +
                        format + QStringList{QStringLiteral("/dev/zero")});
    m_listener.start(QStringLiteral("parec"),
                     QStringList{QStringLiteral("--device=vmic")} + format);
    return m_silence.waitForStarted(processTimeoutMs) &&
           m_listener.waitForStarted(processTimeoutMs);
}

bool Microphone::speak(const QString &sentence) {
    const QString wav = m_dir.filePath(QStringLiteral("speech-%1.wav").arg(qHash(sentence)));
    return (QFile::exists(wav) ||
            runTool(QStringLiteral("espeak-ng"), {QStringLiteral("-w"), wav, sentence})) &&
           runTool(QStringLiteral("paplay"), {QStringLiteral("--device=virtmic"), wav});
}

} // namespace orvanta::e2e
