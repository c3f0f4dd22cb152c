#include "Config.h"

#include "BuildConfig.h"

namespace orvanta {

namespace {

QString withoutTrailingSlashes(QString base) {
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base;
}

bool isLoopbackHost(const QString &host) {
    return host == QStringLiteral("127.0.0.1") || host == QStringLiteral("::1") ||
           host == QStringLiteral("localhost");
}

bool isUsable(const QString &base) {
    return !Config::isPlaceholder(base) && Config::isSafeBase(base);
}

} // namespace

Config Config::fromBuild() {
    return Config(QStringLiteral(ORVANTA_SERVICE_URL), QStringLiteral(ORVANTA_ACCOUNT_URL));
}

Config::Config(const QString &proxyBaseURL, const QString &accountBaseURL,
               std::chrono::milliseconds transferTimeout)
    : m_proxyBaseURL(withoutTrailingSlashes(proxyBaseURL))
    , m_accountBaseURL(withoutTrailingSlashes(accountBaseURL))
    , m_transferTimeout(transferTimeout) {}

bool Config::isConfigured() const {
    return isUsable(m_proxyBaseURL);
}

QUrl Config::endpoint(const QString &path) const {
    return QUrl(m_proxyBaseURL + path, QUrl::StrictMode);
}

QUrl Config::accountPage() const {
    if (!isUsable(m_accountBaseURL))
        return {};
    return QUrl(m_accountBaseURL + QStringLiteral("/manage"), QUrl::StrictMode);
}

bool Config::isSafeBase(const QString &base) {
    const QUrl url(base, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return false;
    if (url.scheme() == QStringLiteral("https"))
        return true;
    return url.scheme() == QStringLiteral("http") && isLoopbackHost(url.host());
}

} // namespace orvanta
