// Runs where no D-Bus session bus exists (tests/scripts/without-session-bus.sh).

#include "Auth.h"
#include "AuthHost.h"
#include "Keychain.h"
#include "QtPrinters.h"

#include <QNetworkAccessManager>

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

QStringList warnings;

void collectWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message) {
    if (type == QtWarningMsg && QByteArray(context.category) == "orvanta.keychain")
        warnings.append(message);
}

class NullHost final : public AuthHost {
public:
    void openInBrowser(const QUrl &) override {}
    void bringToFront() override {}
};

TEST(NoSecretService, TokensAreNotKeptAndOneWarningSaysSo) {
    const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
    Keychain::set(QStringLiteral("token"), QStringLiteral("auth-access-token"));
    const std::optional<QString> read = Keychain::get(QStringLiteral("auth-access-token"));
    Keychain::set(std::nullopt, QStringLiteral("auth-access-token"));

    NullHost host;
    QNetworkAccessManager network;
    Auth auth(Config(QStringLiteral("https://api.example.com"), QString()), host, network);
    auth.signOut();
    qInstallMessageHandler(previous);

    EXPECT_EQ(read, std::nullopt);
    EXPECT_FALSE(auth.isSignedIn());
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].contains("tokens cannot be kept"));
    EXPECT_FALSE(warnings[0].contains("token\""));
}

} // namespace
