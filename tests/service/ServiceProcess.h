#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <httplib.h>

#include <memory>

namespace orvanta::test {

struct CommandResult {
    int exitCode = -1;
    QString output;
    QString errors;
};

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

    // Runs a command such as add-user to completion, with `input` on its standard input.
    static CommandResult run(const QStringList &arguments, const QByteArray &input = {});

private:
    QProcess m_process;
    QString m_output;
    int m_port = 0;
    bool m_stopped = false;
};

} // namespace orvanta::test

namespace orvanta::test {

struct Tokens {
    std::string access;
    std::string refresh;
};

// The tokens of an "orvanta://auth/callback?access_token=…&refresh_token=…" address; empty
// members when the address is not one.
inline Tokens tokensFromCallback(const std::string &location) {
    const std::string prefix = "orvanta://auth/callback?";
    if (location.rfind(prefix, 0) != 0)
        return {};
    Tokens tokens;
    std::string query = location.substr(prefix.size());
    while (!query.empty()) {
        const auto amp = query.find('&');
        const std::string item = query.substr(0, amp);
        query = amp == std::string::npos ? "" : query.substr(amp + 1);
        const auto equals = item.find('=');
        const std::string name = item.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : item.substr(equals + 1);
        if (name == "access_token")
            tokens.access = value;
        else if (name == "refresh_token")
            tokens.refresh = value;
    }
    return tokens;
}

inline httplib::Headers bearer(const std::string &token) {
    return {{"Authorization", "Bearer " + token}};
}

} // namespace orvanta::test
