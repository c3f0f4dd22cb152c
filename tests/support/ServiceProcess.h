#pragma once

// The real orvanta-service on a free port of 127.0.0.1, ending with this object, and a client.

#include "TempEnvironment.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrlQuery>

#include <httplib.h>

namespace orvanta::test {

inline constexpr auto password = "correct horse battery staple";

// What the Secret Service keeps for the application's `account`, read as a user would.
inline QByteArray storedSecret(const QString &account) {
    return runProgram("secret-tool", {"lookup", "service", "com.orvanta.app", "account", account})
        .output;
}

// One answer of the service; status -1 when none came.
struct Reply {
    int status = -1;
    std::string body;
    httplib::Headers headers;

    std::string header(const char *name) const {
        const auto found = headers.find(name);
        return found == headers.end() ? std::string() : found->second;
    }

    QJsonObject json() const {
        return QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
    }
    QString error() const { return json().value("error").toString(); }
    QString text() const { return json().value("text").toString(); }
};

struct Tokens {
    std::string access;
    std::string refresh;
};

inline httplib::Headers bearer(const std::string &token) {
    return {{"Authorization", "Bearer " + token}};
}

class ServiceProcess {
public:
    ServiceProcess(const QString &dataDir, const QStringList &extraArguments) {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(ORVANTA_SERVICE_EXECUTABLE,
                        QStringList{"--data", dataDir, "--port", "0"} + extraArguments);
        m_process.waitForStarted(30000);
        // Printed once it accepts connections; the local back end loads its model first.
        static const QRegularExpression listening(
            QStringLiteral("listening on http://\\S+:(\\d+)"));
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
        m_output += QString::fromUtf8(m_process.readAllStandardOutput());
    }
    ~ServiceProcess() { stop(); }

    bool isServing() const { return m_port > 0; }
    int port() const { return m_port; }
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    QString startupOutput() const { return m_output; }
    // Stops the service with SIGTERM; its exit code, -1 when it did not end by itself.
    int stop() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(60000)) {
                m_process.kill();
                m_process.waitForFinished(10000);
            }
        }
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

    httplib::Client client() const {
        httplib::Client client("127.0.0.1", m_port);
        client.set_read_timeout(90, 0);
        client.set_write_timeout(90, 0);
        return client;
    }
    Reply get(const std::string &path, const httplib::Headers &headers = {}) const {
        return replyOf(client().Get(path, headers));
    }
    Reply post(const std::string &path, const std::string &json,
               const httplib::Headers &headers = {}) const {
        return replyOf(client().Post(path, headers, json, "application/json"));
    }
    Reply postForm(const std::string &path, const httplib::Params &form,
                   const httplib::Headers &headers = {}) const {
        return replyOf(client().Post(path, headers, form));
    }
    // The tokens a password sign-in (one-click when `email` is empty) hands back; none if refused.
    Tokens signIn(const std::string &email = {}, const std::string &secret = password) const {
        const Reply answer = postForm(
            "/signin", email.empty() ? httplib::Params{}
                                     : httplib::Params{{"email", email}, {"password", secret}});
        const QUrl url(QString::fromStdString(answer.header("Location")));
        if (answer.status != 303 || url.toString(QUrl::RemoveQuery) != "orvanta://auth/callback")
            return {};
        const QUrlQuery query(url);
        return {query.queryItemValue("access_token").toStdString(),
                query.queryItemValue("refresh_token").toStdString()};
    }

    static CommandResult run(const QStringList &arguments, const QByteArray &input = {}) {
        return runProgram(ORVANTA_SERVICE_EXECUTABLE, arguments, input);
    }
    // add-user with the shared password and `options`; true when it succeeded.
    static bool addUser(const QString &dataDir, const char *email,
                        const QStringList &options = {}) {
        return run(QStringList{"add-user", email, "--data", dataDir} + options,
                   QByteArray(password) + "\n")
                   .exitCode == 0;
    }

private:
    static Reply replyOf(const httplib::Result &result) {
        return result ? Reply{result->status, result->body, result->headers} : Reply{};
    }

    QProcess m_process;
    QString m_output;
    int m_port = 0;
};

} // namespace orvanta::test
