#pragma once

// The service client wired as the application wires it, on a stand-in server and private keyring.

#include "Auth.h"
#include "AuthHost.h"
#include "Jwt.h"
#include "Keychain.h"
#include "PreferenceStore.h"
#include "QtPrinters.h"
#include "Settings.h"
#include "StandInServer.h"
#include "TempEnvironment.h"
#include "Transcriber.h"
#include "Vocabulary.h"

#include <QNetworkAccessManager>

#include <gtest/gtest.h>

#include <qcoro/qcorotask.h>

namespace orvanta::test {

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
    return makeJwt(claims);
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
    using Stored = std::pair<std::optional<QString>, std::optional<QString>>;
    static Stored stored() {
        return {storedAccess(), QCoro::waitFor(Keychain::get(Auth::refreshTokenAccount))};
    }

    TempFolder folder;
    PreferenceStore store{folder.filePath(QStringLiteral("prefs.conf"))};
    NoLoginItem loginItem;
    Settings settings{store, loginItem};
    Vocabulary vocabulary{store};
    QNetworkAccessManager network;
    RecordingHost host;
    StandInServer server;
    std::unique_ptr<Config> config;
    std::unique_ptr<Auth> auth;
    std::unique_ptr<Transcriber> transcriber;
};

} // namespace orvanta::test
