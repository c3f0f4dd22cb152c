// Runs where no D-Bus session bus exists (tests/scripts/without-session-bus.sh).

#include "ServiceFixture.h"

using namespace orvanta;

namespace {

QList<std::pair<QByteArray, QString>> logged; // category, message

void collect(QtMsgType, const QMessageLogContext &context, const QString &message) {
    logged.append({QByteArray(context.category), message});
}

TEST(NoSecretService, NothingIsKeptNoSignInIsClaimedAndOneWarningSaysSo) {
    const QString token = QStringLiteral("secret-token-4711");
    const QtMessageHandler previous = qInstallMessageHandler(collect);
    Keychain::set(token, QStringLiteral("auth-access-token"));
    const std::optional<QString> read =
        QCoro::waitFor(Keychain::get(QStringLiteral("auth-access-token")));

    test::RecordingHost host;
    QNetworkAccessManager network;
    Auth auth(Config(QStringLiteral("https://api.example.com"), QString()), host, network);
    auth.openSignInPage();
    auth.handleCallback(QStringLiteral("orvanta://x?access_token=") + token);
    // Answered in order: this read comes after the sign-in's own.
    QCoro::waitFor(Keychain::get(QStringLiteral("auth-access-token")));
    qInstallMessageHandler(previous);

    EXPECT_EQ(read, std::nullopt);
    EXPECT_FALSE(auth.isSignedIn());
    int keychainWarnings = 0;
    for (const auto &[category, message] : logged) {
        keychainWarnings += category == "orvanta.keychain";
        EXPECT_FALSE(message.contains(token)) << message.toStdString();
    }
    EXPECT_EQ(keychainWarnings, 1);
}

} // namespace
