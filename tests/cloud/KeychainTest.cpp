// Runs against the private gnome-keyring that tests/scripts/with-secret-service.sh starts.

#include "Keychain.h"
#include "QtPrinters.h"

#include <QProcess>

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

const QString accountA = QStringLiteral("test-account-a");
const QString accountB = QStringLiteral("test-account-b");

// Reads or writes an item the way a user would from the shell.
QByteArray secretTool(const QStringList &arguments, const QByteArray &input = {}) {
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"), arguments);
    tool.write(input);
    tool.closeWriteChannel();
    tool.waitForFinished(30'000);
    return tool.readAllStandardOutput();
}

QByteArray lookUp(const QString &account) {
    return secretTool({"lookup", "service", "com.orvanta.app", "account", account});
}

void storeOutside(const QString &account, const QByteArray &value) {
    secretTool({"store", "--label=outside", "service", "com.orvanta.app", "account", account},
               value);
}

class KeychainTest : public ::testing::Test {
protected:
    void SetUp() override {
        Keychain::set(std::nullopt, accountA);
        Keychain::set(std::nullopt, accountB);
    }
};

TEST_F(KeychainTest, KeepsOneValuePerAccountUntilSetEmpty) {
    EXPECT_EQ(Keychain::get(accountA), std::nullopt);
    Keychain::set(QStringLiteral("first"), accountA);
    EXPECT_EQ(Keychain::get(accountA), "first");
    const QString second = QString::fromUtf8("second \xC3\xA9\xE2\x86\x92");
    Keychain::set(second, accountA);
    EXPECT_EQ(Keychain::get(accountA), second);
    EXPECT_EQ(lookUp(accountA), second.toUtf8());

    Keychain::set(QString(), accountA);
    EXPECT_EQ(Keychain::get(accountA), std::nullopt);
    EXPECT_EQ(lookUp(accountA), QByteArray());
    Keychain::set(std::nullopt, accountA); // nothing to delete: no effect
    EXPECT_EQ(Keychain::get(accountA), std::nullopt);
}

TEST_F(KeychainTest, AccountsAreIndependent) {
    Keychain::set(QStringLiteral("a-value"), accountA);
    Keychain::set(QStringLiteral("b-value"), accountB);
    Keychain::set(std::nullopt, accountA);
    EXPECT_EQ(Keychain::get(accountA), std::nullopt);
    EXPECT_EQ(Keychain::get(accountB), "b-value");
}

TEST_F(KeychainTest, ItemsWrittenElsewhereAreReadAndReplaced) {
    storeOutside(accountB, "from-the-shell");
    EXPECT_EQ(Keychain::get(accountB), "from-the-shell");
    Keychain::set(QStringLiteral("replaced"), accountB);
    EXPECT_EQ(lookUp(accountB), "replaced");
}

TEST_F(KeychainTest, DataThatIsNotUtf8ReadsAsNothing) {
    storeOutside(accountA, "ab\xff\xfe");
    ASSERT_EQ(lookUp(accountA), "ab\xff\xfe");
    EXPECT_EQ(Keychain::get(accountA), std::nullopt);
}

} // namespace
