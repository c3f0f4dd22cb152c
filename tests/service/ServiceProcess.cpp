#include "ServiceProcess.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace orvanta::test {

namespace {
const QString executable = QStringLiteral(ORVANTA_SERVICE_EXECUTABLE);
}

ServiceProcess::ServiceProcess(const QString &dataDir, const QStringList &extraArguments) {
    m_process.setProgram(executable);
    m_process.setArguments(QStringList{QStringLiteral("--data"), dataDir, QStringLiteral("--port"),
                                       QStringLiteral("0")} +
                           extraArguments);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start();
    if (!m_process.waitForStarted(30000))
        return;
    // The service prints its address once it accepts connections; the local back end loads its
    // model first, which takes a while under the sanitizers.
    static const QRegularExpression listening(QStringLiteral("listening on http://\\S+:(\\d+)"));
    const QDeadlineTimer deadline(120000);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(1000);
        m_output += QString::fromUtf8(m_process.readAllStandardOutput());
        if (const auto match = listening.match(m_output); match.hasMatch()) {
            m_port = match.captured(1).toInt();
            return;
        }
    }
    m_process.waitForFinished(5000);
    m_output +=
        QString::fromUtf8(m_process.readAllStandardOutput() + m_process.readAllStandardError());
}

ServiceProcess::~ServiceProcess() {
    stop();
}

int ServiceProcess::stop() {
    if (m_stopped)
        return m_process.exitCode();
    m_stopped = true;
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(60000)) {
            m_process.kill();
            m_process.waitForFinished(10000);
            return -1;
        }
    }
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

httplib::Client ServiceProcess::client() const {
    httplib::Client client("127.0.0.1", m_port);
    client.set_read_timeout(90, 0);
    client.set_write_timeout(90, 0);
    return client;
}

namespace {

Reply replyOf(const httplib::Result &result) {
    if (!result)
        return {};
    return {result->status, result->body, result->get_header_value("Location")};
}

} // namespace

Reply ServiceProcess::get(const std::string &path, const httplib::Headers &headers) const {
    return replyOf(client().Get(path, headers));
}

Reply ServiceProcess::post(const std::string &path, const std::string &json,
                           const httplib::Headers &headers) const {
    return replyOf(client().Post(path, headers, json, "application/json"));
}

Reply ServiceProcess::postForm(const std::string &path, const httplib::Params &form,
                               const httplib::Headers &headers) const {
    return replyOf(client().Post(path, headers, form));
}

Tokens ServiceProcess::signIn(const std::string &email, const std::string &secret) const {
    const Reply answer = email.empty()
                             ? postForm("/signin", {})
                             : postForm("/signin", {{"email", email}, {"password", secret}});
    return answer.status == 303 ? tokensFromCallback(answer.location) : Tokens{};
}

bool ServiceProcess::addUser(const QString &dataDir, const char *email,
                             const QStringList &options) {
    return run(QStringList{"add-user", email, "--data", dataDir} + options,
               QByteArray(password) + "\n")
               .exitCode == 0;
}

Tokens tokensFromCallback(const std::string &location) {
    const QUrl url(QString::fromStdString(location));
    if (url.scheme() != "orvanta" || url.host() != "auth" || url.path() != "/callback")
        return {};
    const QUrlQuery query(url);
    return {query.queryItemValue("access_token").toStdString(),
            query.queryItemValue("refresh_token").toStdString()};
}

CommandResult ServiceProcess::run(const QStringList &arguments, const QByteArray &input) {
    QProcess process;
    process.start(executable, arguments);
    process.write(input);
    process.closeWriteChannel();
    CommandResult result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = QString::fromUtf8(process.readAllStandardOutput());
    result.errors = QString::fromUtf8(process.readAllStandardError());
    return result;
}

} // namespace orvanta::test
