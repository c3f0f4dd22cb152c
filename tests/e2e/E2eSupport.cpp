#include "E2eSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

namespace orvanta::e2e {

using namespace std::chrono_literals;

namespace {

constexpr int processTimeoutMs = int(std::chrono::milliseconds(patience).count());

QString readAll(const QString &fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// Runs a program to its end.
ProcessOutcome runProcess(const QString &program, const QStringList &arguments,
                          const QProcessEnvironment &environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ProcessOutcome outcome;
    if (!process.waitForFinished(processTimeoutMs)) {
        process.kill();
        process.waitForFinished(3000);
        outcome.errors = program + u' ' + arguments.join(u' ') + QStringLiteral(" did not end");
        return outcome;
    }
    outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    outcome.output = QString::fromUtf8(process.readAllStandardOutput());
    outcome.errors = QString::fromUtf8(process.readAllStandardError());
    return outcome;
}

bool writeFile(const QString &fileName, const QByteArray &bytes) {
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
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

std::optional<QString> runTool(const QString &program, const QStringList &arguments,
                               QString *errors) {
    const ProcessOutcome outcome =
        runProcess(program, arguments, QProcessEnvironment::systemEnvironment());
    if (outcome.exitCode != 0)
        return std::nullopt;
    if (errors)
        *errors = outcome.errors;
    return outcome.output;
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

ServiceProcess::ServiceProcess(QString email, QStringList sentences)
    : m_email(std::move(email))
    , m_sentences(std::move(sentences)) {
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
        while (m_process.canReadLine()) {
            const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
            if (line.startsWith(QLatin1String("received ")))
                m_arrivals.insert(line.section(QLatin1Char(' '), 1),
                                  std::chrono::steady_clock::now());
            else
                m_lines.append(line);
        }
    });
}

ServiceProcess::~ServiceProcess() {
    stopChild(m_process);
}

bool ServiceProcess::start() {
    if (!m_sentences.isEmpty()) {
        if (!startSelfHosted())
            return false;
    } else {
        m_process.start(QStringLiteral(ORVANTA_E2E_SERVICE),
                        {m_email, m_dir.filePath(QStringLiteral("requests.jsonl"))});
    }
    if (!m_process.waitForStarted(processTimeoutMs))
        return false;
    // orvanta-service prints its address once the recogniser's model is loaded, which takes
    // a while under the sanitizers.
    static const QRegularExpression listening(
        QStringLiteral("listening (?:on http://127\\.0\\.0\\.1:)?(\\d+)"));
    waitUntil(
        [this] {
            for (const QString &line : std::as_const(m_lines)) {
                if (const QRegularExpressionMatch match = listening.match(line); match.hasMatch())
                    m_port = quint16(match.captured(1).toUInt());
            }
            return m_port != 0 || m_process.state() == QProcess::NotRunning;
        },
        patience);
    return m_port != 0;
}

bool ServiceProcess::startSelfHosted() {
    // A grammar of the expected sentences makes the offline recogniser reliable on speech
    // synthesised for the test.
    const QString grammar = m_dir.filePath(QStringLiteral("sentences.gram"));
    const QString settings = m_dir.filePath(QStringLiteral("service.ini"));
    if (!writeFile(grammar, "#JSGF V1.0;\ngrammar sentences;\npublic <sentence> = " +
                                m_sentences.join(QStringLiteral(" | ")).toUtf8() + ";\n") ||
        !writeFile(settings, "[local]\ngrammar=" + grammar.toUtf8() + '\n'))
        return false;
    m_process.start(QStringLiteral(ORVANTA_E2E_SELF_HOSTED_SERVICE),
                    {QStringLiteral("--listen"), QStringLiteral("127.0.0.1"),
                     QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--data"),
                     m_dir.filePath(QStringLiteral("data")), QStringLiteral("--backend"),
                     QStringLiteral("local"), QStringLiteral("--local-user"), m_email,
                     QStringLiteral("--config"), settings});
    return true;
}

bool ServiceProcess::command(const QString &line) {
    const QString done = QStringLiteral("done ") + line.section(QLatin1Char(' '), 0, 0);
    m_lines.removeAll(done);
    m_process.write((line + QLatin1Char('\n')).toUtf8());
    return waitUntil([&] { return m_lines.contains(done); }, patience);
}

QList<QByteArray> ServiceProcess::requests(const QString &path) const {
    QList<QByteArray> bodies;
    const QStringList lines = readAll(m_dir.filePath(QStringLiteral("requests.jsonl")))
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QJsonObject entry = QJsonDocument::fromJson(line.toUtf8()).object();
        if (entry.value(QStringLiteral("path")).toString() == path)
            bodies.append(
                QByteArray::fromBase64(entry.value(QStringLiteral("body")).toString().toLatin1()));
    }
    return bodies;
}

bool ServiceProcess::waitForRequests(const QString &path, qsizetype count,
                                     std::chrono::milliseconds timeout) {
    return waitUntil([&] { return requests(path).size() >= count; }, timeout);
}

std::optional<std::chrono::steady_clock::time_point>
ServiceProcess::lastArrival(const QString &path) const {
    const auto found = m_arrivals.constFind(path);
    if (found == m_arrivals.cend())
        return std::nullopt;
    return *found;
}

OrvantaProcess::OrvantaProcess(const QString &serviceUrl)
    : m_environment(QProcessEnvironment::systemEnvironment()) {
    const QDir root(m_dir.path());
    for (const char *folder : {"config", "data", "cache", "bin", "runtime"})
        root.mkpath(QString::fromLatin1(folder));
    QFile::setPermissions(root.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // The desktop opens links with xdg-open, or the program named in BROWSER.
    const QString browser = root.filePath(QStringLiteral("bin/xdg-open"));
    QFile::link(QStringLiteral(ORVANTA_E2E_BROWSER), browser);

    // The sound server stays reachable when the instance gets a runtime folder of its own.
    const QString runtime = m_environment.value(QStringLiteral("XDG_RUNTIME_DIR"));
    if (!runtime.isEmpty() && !m_environment.contains(QStringLiteral("PULSE_SERVER")))
        m_environment.insert(QStringLiteral("PULSE_SERVER"),
                             QStringLiteral("unix:") + runtime + QStringLiteral("/pulse/native"));
    // Qt Quick's software renderer leaves blocks of its own behind at exit; leaks of this
    // project's code are the unit and view tests' concern.
    const QString asan = m_environment.value(QStringLiteral("ASAN_OPTIONS"));
    const std::pair<const char *, QString> variables[] = {
        {"XDG_RUNTIME_DIR", root.filePath(QStringLiteral("runtime"))},
        {"XDG_CONFIG_HOME", root.filePath(QStringLiteral("config"))},
        {"XDG_DATA_HOME", root.filePath(QStringLiteral("data"))},
        {"XDG_CACHE_HOME", root.filePath(QStringLiteral("cache"))},
        {"PATH",
         root.filePath(QStringLiteral("bin:")) + m_environment.value(QStringLiteral("PATH"))},
        {"BROWSER", browser},
        {"DEFAULT_BROWSER", browser},
        {"ORVANTA_E2E_APP", QStringLiteral(ORVANTA_E2E_APP)},
        {"ORVANTA_E2E_BROWSER_LOG", root.filePath(QStringLiteral("browser.log"))},
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

QString OrvantaProcess::runtimeDirectory() const {
    return m_dir.filePath(QStringLiteral("runtime"));
}

QString OrvantaProcess::configFile() const {
    return m_dir.filePath(QStringLiteral("config/Orvanta/Orvanta.conf"));
}

QString OrvantaProcess::historyFile() const {
    return m_dir.filePath(QStringLiteral("data/Orvanta/history.json"));
}

QStringList OrvantaProcess::browserVisits() const {
    return readAll(m_dir.filePath(QStringLiteral("browser.log")))
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool OrvantaProcess::start() {
    m_instance.start(QStringLiteral(ORVANTA_E2E_APP), {});
    return m_instance.waitForStarted(processTimeoutMs);
}

bool OrvantaProcess::launch() {
    if (!start())
        return false;
    return waitUntil([this] { return status().has_value() || !isRunning(); }, patience) &&
           isRunning();
}

ProcessOutcome OrvantaProcess::run(const QStringList &arguments) const {
    return runProcess(QStringLiteral(ORVANTA_E2E_APP), arguments, m_environment);
}

std::optional<QString> OrvantaProcess::status() const {
    const ProcessOutcome outcome = run({QStringLiteral("--status")});
    if (outcome.exitCode != 0)
        return std::nullopt;
    return outcome.output.trimmed();
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
    m_silence.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_listener.setProcessChannelMode(QProcess::ForwardedErrorChannel);
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

std::optional<double> Microphone::speak(const QString &sentence) {
    const QString wav = m_dir.filePath(QStringLiteral("speech-%1.wav").arg(qHash(sentence)));
    if (!QFile::exists(wav) &&
        !runTool(QStringLiteral("espeak-ng"), {QStringLiteral("-w"), wav, sentence}))
        return std::nullopt;
    const std::optional<QString> duration = runTool(
        QStringLiteral("ffprobe"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
         QStringLiteral("format=duration"), QStringLiteral("-of"), QStringLiteral("csv=p=0"), wav});
    if (!duration || !runTool(QStringLiteral("paplay"), {QStringLiteral("--device=virtmic"), wav}))
        return std::nullopt;
    return duration->trimmed().toDouble();
}

std::optional<AudioFacts> inspectAudio(const QByteArray &bytes) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("audio.m4a"));
    if (!writeFile(file, bytes))
        return std::nullopt;
    // Decoding the whole stream also proves it is not cut off.
    QString report;
    if (!runTool(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-hide_banner"), QStringLiteral("-nostats"), QStringLiteral("-v"),
                  QStringLiteral("info"), QStringLiteral("-xerror"), QStringLiteral("-i"), file,
                  QStringLiteral("-af"), QStringLiteral("volumedetect"), QStringLiteral("-f"),
                  QStringLiteral("null"), QStringLiteral("-")},
                 &report))
        return std::nullopt;
    AudioFacts facts;
    static const QRegularExpression duration(
        QStringLiteral("Duration: (\\d+):(\\d+):(\\d+\\.\\d+)"));
    if (const QRegularExpressionMatch match = duration.match(report); match.hasMatch())
        facts.seconds = match.captured(1).toInt() * 3600 + match.captured(2).toInt() * 60 +
                        match.captured(3).toDouble();
    static const QRegularExpression volume(QStringLiteral("max_volume: (-?[0-9.]+) dB"));
    if (const QRegularExpressionMatch match = volume.match(report); match.hasMatch())
        facts.maxVolumeDb = match.captured(1).toDouble();
    return facts;
}

std::optional<QString> storedSecret(const QString &account) {
    return runTool(QStringLiteral("secret-tool"),
                   {QStringLiteral("lookup"), QStringLiteral("service"),
                    QStringLiteral("com.orvanta.app"), QStringLiteral("account"), account});
}

QList<HistoryItem> historyIn(const QString &file) {
    QFile json(file);
    if (!json.open(QIODevice::ReadOnly))
        return {};
    return decodeHistory(json.readAll()).value_or(QList<HistoryItem>());
}

} // namespace orvanta::e2e
