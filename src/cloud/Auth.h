#pragma once

#include "Config.h"
#include "Ports.h"
#include "SignInWindow.h"

#include <QObject>
#include <QString>

#include <qcoro/qcorotask.h>

#include <optional>

class QJsonObject;
class QNetworkAccessManager;

namespace orvanta {

class AuthHost;

// The tokens a sign-in callback URL hands over.
struct CallbackTokens {
    QString access;
    std::optional<QString> refresh;
};

// The figures of a "/me" answer; a member that is missing or of another type stays unset.
struct UsageFigures {
    std::optional<QString> plan;
    std::optional<qint64> used;
    std::optional<qint64> limit;
};

// The account session: whether the user is signed in, the account's e-mail address, plan and
// word usage. The tokens live in the Keychain and are read when needed; the Keychain queues
// every read and write in the order asked, so a sign-in, renewal or sign-out is stored as it
// happened. Main thread only.
class Auth : public QObject, public AccountSessionPort {
    Q_OBJECT
    Q_PROPERTY(bool isSignedIn READ isSignedIn NOTIFY isSignedInChanged)
    // Empty while the access token carries no e-mail address.
    Q_PROPERTY(QString email READ emailText NOTIFY emailChanged)
    Q_PROPERTY(QString plan READ plan NOTIFY planChanged)
    Q_PROPERTY(qint64 wordsUsed READ wordsUsed NOTIFY wordsUsedChanged)
    Q_PROPERTY(qint64 wordLimit READ wordLimit NOTIFY wordLimitChanged)

public:
    static inline const QString accessTokenAccount = QStringLiteral("auth-access-token");
    static inline const QString refreshTokenAccount = QStringLiteral("auth-refresh-token");
    static inline const QString callbackScheme = QStringLiteral("orvanta");

    // Signed in as soon as the store answers that an access token is stored (a sign-in or
    // sign-out before that answer wins); makes no network call.
    Auth(Config config, AuthHost &host, QNetworkAccessManager &network,
         SignInWindow signInWindow = SignInWindow(), QObject *parent = nullptr);

    bool isSignedIn() const override { return m_isSignedIn; }
    std::optional<QString> email() const { return m_email; }
    QString emailText() const { return m_email.value_or(QString()); }
    QString plan() const { return m_plan; }
    qint64 wordsUsed() const { return m_wordsUsed; }
    qint64 wordLimit() const { return m_wordLimit; }

    // Opens the service's sign-in page in the browser, unless the service is not configured,
    // and from then on accepts one callback for a limited time.
    Q_INVOKABLE void openSignInPage();
    // Takes the tokens of an "orvanta:" callback URL while a sign-in is pending; ignores
    // anything else. Signed in once the store has taken the tokens.
    Q_INVOKABLE void handleCallback(const QString &url);
    // Exchanges the refresh token for a new access token. Any failure signs out and gives
    // nothing. Callers that ask while a renewal runs share its answer: the single-use
    // refresh token is sent once.
    QCoro::Task<std::optional<QString>> refreshIfPossible();
    // Starts updateUsage() without waiting for it.
    void refreshUsage() override;
    // Fetches plan and word usage; failures leave the figures unchanged.
    QCoro::Task<> updateUsage();
    Q_INVOKABLE void signOut();

    // The stored access token, if any.
    QCoro::Task<std::optional<QString>> accessToken() const;

    // The tokens of a callback URL, or nothing when the URL is not one that counts. The
    // scheme is compared exactly as written.
    static std::optional<CallbackTokens> tokensFromCallback(const QString &url);
    // The "email" claim of a JWT's payload; the signature is not checked.
    static std::optional<QString> emailFromJWT(const QString &token);
    static UsageFigures usageFigures(const QJsonObject &answer);

signals:
    // A renewal ended with this access token, or with nothing.
    void renewalFinished(const std::optional<QString> &access);
    void isSignedInChanged();
    void emailChanged();
    void planChanged();
    void wordsUsedChanged();
    void wordLimitChanged();

private:
    void setSignedIn(bool signedIn);
    void setEmail(const std::optional<QString> &email);
    void applyUsage(const UsageFigures &usage);
    QCoro::Task<std::optional<QString>> renew();
    QCoro::Task<> restoreSession();
    QCoro::Task<> confirmSignIn(QString access);

    Config m_config;
    AuthHost &m_host;
    QNetworkAccessManager &m_network;
    SignInWindow m_signInWindow;
    bool m_isSignedIn = false;
    bool m_renewing = false;
    // Counts sign-ins and sign-outs, so an answer of the store that was asked for before one
    // of them is not taken as the state after it.
    int m_sessionChanges = 0;
    std::optional<QString> m_email;
    QString m_plan = QStringLiteral("free");
    qint64 m_wordsUsed = 0;
    qint64 m_wordLimit = 1000;
};

} // namespace orvanta
