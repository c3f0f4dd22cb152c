#pragma once

#include <QString>
#include <QUrl>

#include <chrono>

namespace orvanta {

// Where the service lives and how long one exchange with it may stay silent. The application
// uses the addresses compiled in; tests point a Config at a server of their own.
class Config {
public:
    static inline const QString placeholder = QStringLiteral("REPLACE_ME");
    static constexpr std::chrono::milliseconds defaultTransferTimeout{60'000};

    // The addresses given at build time.
    static Config fromBuild();

    // A trailing '/' of either base is dropped.
    Config(const QString &proxyBaseURL, const QString &accountBaseURL,
           std::chrono::milliseconds transferTimeout = defaultTransferTimeout);

    QString proxyBaseURL() const { return m_proxyBaseURL; }
    QString accountBaseURL() const { return m_accountBaseURL; }
    std::chrono::milliseconds transferTimeout() const { return m_transferTimeout; }

    // False for the placeholder, and for a base that is no URL or would carry tokens
    // unencrypted to another machine. Every network operation checks this first.
    bool isConfigured() const;
    // The service base followed by `path`, e.g. "/transcribe".
    QUrl endpoint(const QString &path) const;
    // The account web page ("/manage"), or nothing while its base is unusable.
    QUrl accountPage() const;

    static bool isPlaceholder(const QString &base) { return base.contains(placeholder); }
    // https anywhere; plain http only to 127.0.0.1, ::1 or localhost.
    static bool isSafeBase(const QString &base);

private:
    QString m_proxyBaseURL;
    QString m_accountBaseURL;
    std::chrono::milliseconds m_transferTimeout;
};

} // namespace orvanta
