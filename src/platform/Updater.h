#pragma once

#include "Appcast.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <chrono>

class QNetworkAccessManager;
class QNetworkReply;

namespace orvanta {

// Checks an update feed: when the user asks, and quietly at start and once a day, speaking
// then only when a newer version exists. Without a feed it never checks.
class Updater : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)

public:
    enum class Outcome { UpToDate, NewerVersion, Failed };
    Q_ENUM(Outcome)

    static constexpr qint64 maxFeedSize = 1024 * 1024;
    static constexpr std::chrono::hours backgroundInterval{24};

    // An empty feed URL, or one that is neither https nor http on this machine, disables
    // every check.
    Updater(QNetworkAccessManager &network, const QUrl &feedUrl, QString currentVersion,
            QObject *parent = nullptr);
    ~Updater() override;

    bool canCheckForUpdates() const { return m_canCheck; }
    bool isConfigured() const { return m_feedUrl.isValid(); }

    // Checks now, then at every interval; the first answer to the property comes on a later
    // pass of the event loop.
    void start(std::chrono::milliseconds firstCheckDelay = std::chrono::seconds(30));
    Q_INVOKABLE void checkForUpdates();
    void setTransferTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

signals:
    void canCheckForUpdatesChanged();
    // The answer to a check the user asked for; `release` is set for NewerVersion.
    void checkFinished(orvanta::Updater::Outcome outcome, const orvanta::AppcastRelease &release);
    // A background check found a newer version.
    void newerVersionAvailable(const orvanta::AppcastRelease &release);

private:
    void check(bool userInitiated);
    void finish(QNetworkReply *reply, bool userInitiated);
    void setCanCheck(bool can);

    QNetworkAccessManager &m_network;
    QUrl m_feedUrl;
    QString m_currentVersion;
    bool m_canCheck = false;
    bool m_checking = false;
    std::chrono::milliseconds m_timeout{30000};
    QTimer m_backgroundTimer;
    QPointer<QNetworkReply> m_reply;
};

} // namespace orvanta

Q_DECLARE_METATYPE(orvanta::AppcastRelease)
