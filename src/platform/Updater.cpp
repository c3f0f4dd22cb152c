#include "Updater.h"

#include "PlatformLogging.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace orvanta {

namespace {

bool isAcceptableFeed(const QUrl &url) {
    if (!url.isValid() || url.host().isEmpty())
        return false;
    if (url.scheme() == u"https")
        return true;
    const QString host = url.host();
    return url.scheme() == u"http" &&
           (host == u"127.0.0.1" || host == u"::1" || host == u"localhost");
}

} // namespace

Updater::Updater(QNetworkAccessManager &network, const QUrl &feedUrl, QString currentVersion,
                 QObject *parent)
    : QObject(parent)
    , m_network(network)
    , m_feedUrl(isAcceptableFeed(feedUrl) ? feedUrl : QUrl())
    , m_currentVersion(std::move(currentVersion)) {
    if (!feedUrl.isEmpty() && !m_feedUrl.isValid())
        qCWarning(lcUpdater) << "Ignoring an update feed that is not https:" << feedUrl;
    m_backgroundTimer.setInterval(backgroundInterval);
    connect(&m_backgroundTimer, &QTimer::timeout, this, [this] { check(false); });
}

Updater::~Updater() {
    if (m_reply)
        m_reply->abort();
}

void Updater::start(std::chrono::milliseconds firstCheckDelay) {
    if (!isConfigured())
        return;
    QTimer::singleShot(0, this, [this] { setCanCheck(!m_checking); });
    QTimer::singleShot(firstCheckDelay, this, [this] { check(false); });
    m_backgroundTimer.start();
}

void Updater::checkForUpdates() {
    if (m_canCheck)
        check(true);
}

void Updater::check(bool userInitiated) {
    if (!isConfigured() || m_checking)
        return;
    m_checking = true;
    setCanCheck(false);
    QNetworkRequest request(m_feedUrl);
    // Names the installed version, so a feed can answer per version (and packages show up in
    // the feed host's logs as what they are).
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Talvo/%1").arg(m_currentVersion));
    request.setTransferTimeout(int(m_timeout.count()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    m_reply = m_network.get(request);
    connect(m_reply, &QNetworkReply::downloadProgress, m_reply, [reply = m_reply](qint64 received) {
        if (received > maxFeedSize)
            reply->abort();
    });
    connect(m_reply, &QNetworkReply::finished, this,
            [this, reply = m_reply, userInitiated] { finish(reply, userInitiated); });
}

void Updater::finish(QNetworkReply *reply, bool userInitiated) {
    reply->deleteLater();
    m_checking = false;
    setCanCheck(true);

    std::optional<QList<AppcastRelease>> releases;
    if (reply->error() == QNetworkReply::NoError)
        releases = Appcast::parse(reply->read(maxFeedSize));
    if (!releases) {
        qCWarning(lcUpdater) << "Couldn't check for updates:"
                             << (reply->error() != QNetworkReply::NoError
                                     ? reply->errorString()
                                     : QStringLiteral("the feed is not readable"));
        if (userInitiated)
            emit checkFinished(Outcome::Failed, {});
        return;
    }
    const auto newer = Appcast::newerRelease(*releases, m_currentVersion);
    if (newer && !userInitiated)
        emit newerVersionAvailable(*newer);
    if (userInitiated)
        emit checkFinished(newer ? Outcome::NewerVersion : Outcome::UpToDate,
                           newer.value_or(AppcastRelease{}));
}

void Updater::setCanCheck(bool can) {
    if (m_canCheck == can)
        return;
    m_canCheck = can;
    emit canCheckForUpdatesChanged();
}

} // namespace orvanta
