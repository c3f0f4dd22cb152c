#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <httplib.h>

namespace orvanta::test {

inline constexpr auto password = "correct horse battery staple";

struct CommandResult {
    int exitCode = -1;
    QString output;
    QString errors;
};

// One answer of the service; status -1 when none came.
struct Reply {
    int status = -1;
    std::string body;
    std::string location;

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

// The real orvanta-service executable, serving on a free port of 127.0.0.1 with the data folder
// it is given. Stopped (SIGTERM) and checked for a clean exit when destroyed.
class ServiceProcess {
public:
    ServiceProcess(const QString &dataDir, const QStringList &extraArguments);
    ~ServiceProcess();

    bool isServing() const { return m_port > 0; }
    int port() const { return m_port; }
    QString startupOutput() const { return m_output; }
    httplib::Client client() const;
    // Stops the service; returns its exit code.
    int stop();

    Reply get(const std::string &path, const httplib::Headers &headers = {}) const;
    Reply post(const std::string &path, const std::string &json,
               const httplib::Headers &headers = {}) const;
    Reply postForm(const std::string &path, const httplib::Params &form,
                   const httplib::Headers &headers = {}) const;
    // The tokens of a password sign-in (of the one-click sign-in when `email` is empty); empty
    // when it is refused.
    Tokens signIn(const std::string &email = {}, const std::string &secret = password) const;

    // Runs a command such as add-user to completion, with `input` on its standard input.
    static CommandResult run(const QStringList &arguments, const QByteArray &input = {});
    // add-user with the shared password and `options`; true when it succeeded.
    static bool addUser(const QString &dataDir, const char *email, const QStringList &options = {});

private:
    QProcess m_process;
    QString m_output;
    int m_port = 0;
    bool m_stopped = false;
};

// The tokens of an "orvanta://auth/callback?access_token=…&refresh_token=…" address; empty
// members when the address is not one.
Tokens tokensFromCallback(const std::string &location);

} // namespace orvanta::test
