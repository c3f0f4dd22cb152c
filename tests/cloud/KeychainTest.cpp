// Runs against the private gnome-keyring that tests/scripts/with-secret-service.sh starts.

#include <libsecret/secret.h>

#include "Keychain.h"
#include "QtPrinters.h"

#include <QProcess>

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

const QString accountA = QStringLiteral("test-account-a");
const QString accountB = QStringLiteral("test-account-b");

// Reads an item the way a user would from the shell.
QString lookUpWithSecretTool(const QString &account) {
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"),
               {"lookup", "service", "com.orvanta.app", "account", account});
    tool.waitForFinished(30'000);
    return QString::fromUtf8(tool.readAllStandardOutput());
}

class KeychainTest : public ::testing::Test {
protected:
    void SetUp() override {
        Keychain::set(std::nullopt, accountA);
        Keychain::set(std::nullopt, accountB);
    }
};

TEST_F(KeychainTest, KeepsOneValuePerAccount) {
    EXPECT_EQ(Keychain::get(accountA), std::nullopt);
    Keychain::set(QStringLiteral("first"), accountA);
    EXPECT_EQ(Keychain::get(accountA), "first");
    Keychain::set(QStringLiteral("second \u00e9\u2192"), accountA);
    EXPECT_EQ(Keychain::get(accountA), QStringLiteral("second \u00e9\u2192"));
    EXPECT_EQ(lookUpWithSecretTool(accountA), QStringLiteral("second \u00e9\u2192"));
}

TEST_F(KeychainTest, EmptyOrAbsentDeletes) {
    Keychain::set(QStringLiteral("token"), accountA);
    Keychain::set(QString(), accountA);
    EXPECT_EQ(Keychain::get(accountA), std::nullopt);
    EXPECT_EQ(lookUpWithSecretTool(accountA), QString());
    Keychain::set(QStringLiteral("token"), accountA);
    Keychain::set(std::nullopt, accountA);
    EXPECT_EQ(Keychain::get(accountA), std::nullopt);
    // Deleting what is not there is no error and stores nothing.
    Keychain::set(std::nullopt, accountA);
    EXPECT_EQ(Keychain::get(accountA), std::nullopt);
}

TEST_F(KeychainTest, AccountsAreIndependent) {
    Keychain::set(QStringLiteral("a-value"), accountA);
    Keychain::set(QStringLiteral("b-value"), accountB);
    EXPECT_EQ(Keychain::get(accountA), "a-value");
    EXPECT_EQ(Keychain::get(accountB), "b-value");
    Keychain::set(std::nullopt, accountA);
    EXPECT_EQ(Keychain::get(accountA), std::nullopt);
    EXPECT_EQ(Keychain::get(accountB), "b-value");
}

TEST_F(KeychainTest, ReadsItemsOfOtherToolsWithTheSameAttributes) {
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"),
               {"store", "--label=outside", "service", "com.orvanta.app", "account", accountB});
    tool.write("from-the-shell");
    tool.closeWriteChannel();
    ASSERT_TRUE(tool.waitForFinished(30'000));
    ASSERT_EQ(tool.exitCode(), 0);
    EXPECT_EQ(Keychain::get(accountB), "from-the-shell");
    Keychain::set(QStringLiteral("replaced"), accountB);
    EXPECT_EQ(lookUpWithSecretTool(accountB), "replaced");
}

TEST_F(KeychainTest, DataThatIsNotUtf8ReadsAsNothing) {
    static const SecretSchema schema = {"com.orvanta.app",
                                        SECRET_SCHEMA_DONT_MATCH_NAME,
                                        {{"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                        0,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr};
    const char bytes[] = "ab\xff\xfe";
    SecretValue *value = secret_value_new(bytes, 4, "application/octet-stream");
    GError *error = nullptr;
    const QByteArray account = accountA.toUtf8();
    ASSERT_TRUE(secret_password_store_binary_sync(
        &schema, SECRET_COLLECTION_DEFAULT, "binary", value, nullptr, &error, "service",
        "com.orvanta.app", "account", account.constData(), nullptr));
    secret_value_unref(value);
    EXPECT_EQ(Keychain::get(accountA), std::nullopt);
    // The item exists: a write replaces it.
    Keychain::set(QStringLiteral("fine"), accountA);
    EXPECT_EQ(Keychain::get(accountA), "fine");
}

} // namespace
