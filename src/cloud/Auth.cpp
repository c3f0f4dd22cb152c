#include "Auth.h"

#include "AuthHost.h"
#include "CloudLogging.h"
#include "HttpExchange.h"
#include "JsonText.h"
#include "Keychain.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QUrlQuery>

#include <qcoro/qcorosignal.h>

#include <algorithm>

namespace orvanta {

namespace {

// A JSON number that is a whole number within 64 bits; toInteger() answers its default
// for anything else, so two different defaults tell the cases apart.
std::optional<qint64> wholeNumber(const QJsonValue &value) {
    const qint64 first = value.toInteger(0);
    if (first != value.toInteger(1))
        return std::nullopt;
    return first;
}

std::optional<QString> stringMember(const QJsonObject &object, const QString &key) {
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

// The first item named `name`; an item without a value counts as missing.
std::optional<QString> firstQueryValue(const QList<std::pair<QString, QString>> &items,
                                       const QString &name) {
    for (const auto &[key, value] : items) {
        if (key == name)
            return value.isEmpty() ? std::nullopt : std::optional<QString>(value);
    }
    return std::nullopt;
}

// Tokens go into an HTTP header; a line break or other control character would let a crafted
// URL add headers of its own.
bool hasControlCharacter(const QString &token) {
    return std::any_of(token.cbegin(), token.cend(),
                       [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

} // namespace

Auth::Auth(Config config, AuthHost &host, QNetworkAccessManager &network, SignInWindow signInWindow,
           QObject *parent)
    : QObject(parent)
    , m_config(std::move(config))
    , m_host(host)
    , m_network(network)
    , m_signInWindow(std::move(signInWindow)) {
    restoreSession();
}

QCoro::Task<> Auth::restoreSession() {
    const int changes = m_sessionChanges;
    QPointer<Auth> self(this);
    const std::optional<QString> token = co_await accessToken();
    if (!self || !token || changes != m_sessionChanges)
        co_return;
    setSignedIn(true);
    setEmail(emailFromJWT(*token));
}

void Auth::openSignInPage() {
    if (!m_config.isConfigured()) {
        qCInfo(lcAuth) << "No sign-in: the service address is not configured";
        return;
    }
    m_signInWindow.open();
    m_host.openInBrowser(m_config.endpoint(QStringLiteral("/signin")));
}

void Auth::handleCallback(const QString &url) {
    // The URL carries tokens: it is never written to the log.
    const std::optional<CallbackTokens> tokens = tokensFromCallback(url);
    if (!tokens) {
        qCInfo(lcAuth) << "Ignored a URL that is no sign-in callback";
        return;
    }
    if (!m_signInWindow.isOpen()) {
        qCWarning(lcAuth) << "Ignored a sign-in callback: no sign-in opened by this application"
                             " is pending";
        return;
    }
    m_signInWindow.close();
    ++m_sessionChanges;
    Keychain::set(tokens->access, accessTokenAccount);
    Keychain::set(tokens->refresh, refreshTokenAccount);
    confirmSignIn(tokens->access);
}

// Without a working store every request would ask for a sign-in again; showing the user as
// signed in would only hide that. The read comes after the writes of the sign-in.
QCoro::Task<> Auth::confirmSignIn(QString access) {
    const int changes = m_sessionChanges;
    QPointer<Auth> self(this);
    const std::optional<QString> stored = co_await accessToken();
    if (!self || changes != m_sessionChanges)
        co_return;
    if (stored != access) {
        qCWarning(lcAuth) << "The sign-in could not be kept: the token store did not take it";
        co_return;
    }
    setSignedIn(true);
    setEmail(emailFromJWT(access));
    m_host.bringToFront();
}

QCoro::Task<std::optional<QString>> Auth::refreshIfPossible() {
    if (m_renewing) {
        const std::optional<QString> shared = co_await qCoro(this, &Auth::renewalFinished);
        co_return shared;
    }
    m_renewing = true;
    QPointer<Auth> self(this);
    const std::optional<QString> access = co_await renew();
    if (!self)
        co_return std::nullopt;
    m_renewing = false;
    emit renewalFinished(access);
    co_return access;
}

QCoro::Task<std::optional<QString>> Auth::renew() {
    const int changes = m_sessionChanges;
    QPointer<Auth> self(this);
    const std::optional<QString> refresh = co_await Keychain::get(refreshTokenAccount);
    if (!self || changes != m_sessionChanges)
        co_return std::nullopt;
    if (!refresh || !m_config.isConfigured()) {
        signOut();
        co_return std::nullopt;
    }
    QNetworkRequest request = HttpExchange::request(
        m_config.endpoint(QStringLiteral("/auth/refresh")), m_config.transferTimeout());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    const QByteArray body = QJsonDocument(QJsonObject{{QStringLiteral("refresh_token"), *refresh}})
                                .toJson(QJsonDocument::Compact);

    const HttpAnswer answer = co_await HttpExchange::post(m_network, request, body);
    // Tokens of a session that was left meanwhile are not stored again.
    if (!self || changes != m_sessionChanges)
        co_return std::nullopt;

    const std::optional<QJsonObject> object =
        answer.completed() && answer.status == 200 ? answer.jsonObject() : std::nullopt;
    const std::optional<QString> access =
        object ? stringMember(*object, QStringLiteral("access_token")) : std::nullopt;
    // An empty token would only be deleted by the Keychain and leave a session without one;
    // one that cannot go into a header is no better.
    if (!access || access->isEmpty() || hasControlCharacter(*access)) {
        qCWarning(lcAuth).noquote()
            << "Token renewal failed:" << answer.summary() << "- signing out";
        signOut();
        co_return std::nullopt;
    }
    Keychain::set(access, accessTokenAccount);
    // An empty refresh token would delete the stored one: the service sent none.
    if (const std::optional<QString> newRefresh =
            stringMember(*object, QStringLiteral("refresh_token"));
        newRefresh && !newRefresh->isEmpty())
        Keychain::set(newRefresh, refreshTokenAccount);
    setEmail(emailFromJWT(*access));
    co_return access;
}

void Auth::refreshUsage() {
    updateUsage();
}

QCoro::Task<> Auth::updateUsage() {
    QPointer<Auth> self(this);
    const std::optional<QString> token = co_await accessToken();
    if (!self || !token || !m_config.isConfigured())
        co_return;
    QNetworkRequest request =
        HttpExchange::request(m_config.endpoint(QStringLiteral("/me")), m_config.transferTimeout());
    request.setRawHeader("Authorization", "Bearer " + token->toUtf8());

    const HttpAnswer answer = co_await HttpExchange::get(m_network, request);
    if (!self)
        co_return;
    const std::optional<QJsonObject> usage =
        answer.completed() && answer.status == 200 ? answer.jsonObject() : std::nullopt;
    if (!usage) {
        qCInfo(lcAuth).noquote() << "Usage not updated:" << answer.summary();
        co_return;
    }
    applyUsage(usageFigures(*usage));
}

UsageFigures Auth::usageFigures(const QJsonObject &answer) {
    return {stringMember(answer, QStringLiteral("plan")),
            wholeNumber(answer.value(QStringLiteral("used"))),
            wholeNumber(answer.value(QStringLiteral("limit")))};
}

// Each member is taken on its own; a missing or mistyped one leaves its figure alone.
void Auth::applyUsage(const UsageFigures &usage) {
    if (usage.plan && *usage.plan != m_plan) {
        m_plan = *usage.plan;
        emit planChanged();
    }
    if (usage.used && *usage.used != m_wordsUsed) {
        m_wordsUsed = *usage.used;
        emit wordsUsedChanged();
    }
    if (usage.limit && *usage.limit != m_wordLimit) {
        m_wordLimit = *usage.limit;
        emit wordLimitChanged();
    }
}

void Auth::signOut() {
    ++m_sessionChanges;
    Keychain::set(std::nullopt, accessTokenAccount);
    Keychain::set(std::nullopt, refreshTokenAccount);
    setSignedIn(false);
    setEmail(std::nullopt);
}

QCoro::Task<std::optional<QString>> Auth::accessToken() const {
    return Keychain::get(accessTokenAccount);
}

std::optional<CallbackTokens> Auth::tokensFromCallback(const QString &url) {
    // QUrl lower-cases the scheme, so the exact spelling is checked on the text itself.
    if (!url.startsWith(callbackScheme + QLatin1Char(':')))
        return std::nullopt;
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid() || !parsed.hasQuery())
        return std::nullopt;
    const auto items = QUrlQuery(parsed).queryItems(QUrl::FullyDecoded);
    const std::optional<QString> access = firstQueryValue(items, QStringLiteral("access_token"));
    if (!access)
        return std::nullopt;
    std::optional<QString> refresh = firstQueryValue(items, QStringLiteral("refresh_token"));
    if (hasControlCharacter(*access) || (refresh && hasControlCharacter(*refresh)))
        return std::nullopt;
    return CallbackTokens{*access, std::move(refresh)};
}

std::optional<QString> Auth::emailFromJWT(const QString &token) {
    const QStringList parts = token.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    if (parts.size() < 2)
        return std::nullopt;
    QByteArray payload = parts[1].toLatin1();
    // A Base64url text of length 1 modulo 4 cannot be complete.
    if (payload.size() % 4 == 1)
        return std::nullopt;
    payload.replace('-', '+').replace('_', '/');
    while (payload.size() % 4 != 0)
        payload.append('=');
    const auto decoded =
        QByteArray::fromBase64Encoding(payload, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    const std::optional<QJsonDocument> document = json::parse(*decoded);
    if (!document || !document->isObject())
        return std::nullopt;
    return stringMember(document->object(), QStringLiteral("email"));
}

void Auth::setSignedIn(bool signedIn) {
    if (m_isSignedIn == signedIn)
        return;
    m_isSignedIn = signedIn;
    emit isSignedInChanged();
}

void Auth::setEmail(const std::optional<QString> &email) {
    if (m_email == email)
        return;
    m_email = email;
    emit emailChanged();
}

} // namespace orvanta
