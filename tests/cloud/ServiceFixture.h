#pragma once

// The service client wired as the application wires it, against a real HTTP server on
// 127.0.0.1 inside the test and the private Secret Service.

#include "Auth.h"
#include "AuthHost.h"
#include "Keychain.h"
#include "PreferenceStore.h"
#include "QtPrinters.h"
#include "Settings.h"
#include "TempEnvironment.h"
#include "Transcriber.h"
#include "Vocabulary.h"

#include <QHttpServer>
#include <QHttpServerResponse>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <qcoro/qcorotask.h>

namespace orvanta {

inline void PrintTo(const TranscribeError &error, std::ostream *out) {
    *out << error.errorDescription().toStdString();
}

} // namespace orvanta

namespace orvanta::test {

struct RecordedRequest {
    QString path;
    bool isPost = false;
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;

    // Matched without regard to case; a null array when it is missing.
    QByteArray header(const QByteArray &name) const {
        for (const auto &[key, value] : headers) {
            if (key.compare(name, Qt::CaseInsensitive) == 0)
                return value;
        }
        return {};
    }
};

struct ScriptedReply {
    int status = 200;
    QByteArray body;
    QByteArray mimeType = "application/json";
    QByteArray location = {}; // sent as the Location header unless empty
};

// Each path answers from a queue of scripted replies (404 when empty); every request is kept.
class TestServer {
public:
    TestServer() {
        for (const QString path : {"/transcribe", "/auth/refresh", "/me"}) {
            m_server.route(path, [this, path](const QHttpServerRequest &request) {
                m_requests.append({path, request.method() == QHttpServerRequest::Method::Post,
                                   request.headers(), request.body()});
                if (m_replies[path].isEmpty())
                    return QHttpServerResponse(QHttpServerResponse::StatusCode::NotFound);
                const ScriptedReply next = m_replies[path].takeFirst();
                QHttpServerResponse response(next.mimeType, next.body,
                                             QHttpServerResponse::StatusCode(next.status));
                if (!next.location.isEmpty())
                    response.addHeader("Location", next.location);
                return response;
            });
        }
        m_port = m_server.listen(QHostAddress::LocalHost, 0);
    }
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    void reply(const QString &path, ScriptedReply reply) { m_replies[path].append(reply); }
    QList<RecordedRequest> requests(const QString &path) const {
        QList<RecordedRequest> matching;
        for (const RecordedRequest &request : m_requests) {
            if (request.path == path)
                matching.append(request);
        }
        return matching;
    }
    int requestCount() const { return int(m_requests.size()); }

private:
    QHttpServer m_server;
    quint16 m_port = 0;
    QMap<QString, QList<ScriptedReply>> m_replies;
    QList<RecordedRequest> m_requests;
};

// A base on 127.0.0.1 where nothing listens.
inline QString unusedLocalBase() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort());
}

class RecordingHost final : public AuthHost {
public:
    void openInBrowser(const QUrl &url) override { opened.append(url); }
    void bringToFront() override { ++broughtToFront; }
    QList<QUrl> opened;
    int broughtToFront = 0;
};

class NoLoginItem final : public LoginItemPort {
public:
    bool isEnabled() const override { return false; }
    void set(bool) override {}
};

// An unsigned JWT with `email` (none when empty); `marker` makes tokens of one address differ.
inline QString makeJwt(const QString &email, const QString &marker = QStringLiteral("1")) {
    QJsonObject claims{{"sub", marker}};
    if (!email.isEmpty())
        claims["email"] = email;
    const auto encode = [](const QByteArray &bytes) {
        return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    };
    return QString::fromLatin1(encode(R"({"alg":"none"})") + '.' +
                               encode(QJsonDocument(claims).toJson(QJsonDocument::Compact)) + ".s");
}

class ServiceFixture : public ::testing::Test {
protected:
    ServiceFixture() { storeTokens(std::nullopt, std::nullopt); }

    // (Re)creates the client for `base`; the new Auth reads the stored tokens as at start-up.
    void connectTo(const QString &base,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        transcriber.reset();
        auth.reset();
        config = std::make_unique<Config>(base, QString(), timeout);
        auth = std::make_unique<Auth>(*config, host, network);
        transcriber = std::make_unique<Transcriber>(*config, settings, vocabulary, *auth, network);
        settle();
    }

    // The token store answers in the order asked: once this read is answered, so is every
    // read and write asked for before it, the session's own included.
    static void settle() { storedAccess(); }

    static void storeTokens(const std::optional<QString> &access,
                            const std::optional<QString> &refresh) {
        Keychain::set(access, Auth::accessTokenAccount);
        Keychain::set(refresh, Auth::refreshTokenAccount);
    }
    static std::optional<QString> storedAccess() {
        return QCoro::waitFor(Keychain::get(Auth::accessTokenAccount));
    }
    static std::optional<QString> storedRefresh() {
        return QCoro::waitFor(Keychain::get(Auth::refreshTokenAccount));
    }

    TempFolder folder;
    PreferenceStore store{folder.filePath(QStringLiteral("prefs.conf"))};
    NoLoginItem loginItem;
    Settings settings{store, loginItem};
    Vocabulary vocabulary{store};
    QNetworkAccessManager network;
    RecordingHost host;
    TestServer server;
    std::unique_ptr<Config> config;
    std::unique_ptr<Auth> auth;
    std::unique_ptr<Transcriber> transcriber;
};

} // namespace orvanta::test
