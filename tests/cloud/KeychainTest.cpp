// Runs against the private gnome-keyring that tests/scripts/with-secret-service.sh starts.

#include "Keychain.h"
#include "QtPrinters.h"
#include "ServiceProcess.h"

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <qcoro/qcorotask.h>

#include <csignal>

using namespace orvanta;
using namespace orvanta::test;

namespace {

const QString accountA = QStringLiteral("test-account-a");
const QString accountB = QStringLiteral("test-account-b");

std::optional<QString> read(const QString &account) {
    return QCoro::waitFor(Keychain::get(account));
}

class KeychainTest : public ::testing::Test {
protected:
    void SetUp() override {
        Keychain::set(std::nullopt, accountA);
        Keychain::set(std::nullopt, accountB);
    }
};

// One value per account, kept where other tools find it under the same attributes, until set
// empty; an item of bytes that are no UTF-8, written elsewhere, reads as none.
TEST_F(KeychainTest, KeepsOneValuePerAccountWhereOtherToolsFindItUntilSetEmpty) {
    Keychain::set(QStringLiteral("first"), accountA);
    const QString second = QString::fromUtf8("second \xC3\xA9\xE2\x86\x92");
    Keychain::set(second, accountA);
    Keychain::set(QStringLiteral("b-value"), accountB);
    EXPECT_EQ(read(accountA), second);
    EXPECT_EQ(storedSecret(accountA), second.toUtf8());
    Keychain::set(QString(), accountA);
    EXPECT_EQ(read(accountA), std::nullopt);
    EXPECT_EQ(storedSecret(accountA), QByteArray());
    EXPECT_EQ(read(accountB), "b-value");

    runProgram("secret-tool",
               {"store", "--label=outside", "service", "com.orvanta.app", "account", accountA},
               "ab\xff\xfe");
    ASSERT_EQ(storedSecret(accountA), "ab\xff\xfe");
    EXPECT_EQ(read(accountA), std::nullopt);
}

// A stopped store holds up neither the caller nor, once it answers, the order of queued writes.
TEST_F(KeychainTest, AStalledStoreHoldsUpNeitherTheCallerNorTheOrderOfWrites) {
    const pid_t keyring = pid_t(qEnvironmentVariableIntValue("ORVANTA_TEST_KEYRING_PID"));
    ASSERT_GT(keyring, 0) << "kill(0) would stop the whole process group";
    ASSERT_EQ(read(accountA), std::nullopt); // the connection to the store is up
    ASSERT_EQ(::kill(keyring, SIGSTOP), 0);
    QElapsedTimer clock;
    clock.start();

    Keychain::set(QStringLiteral("first"), accountA);
    Keychain::set(QStringLiteral("last"), accountA);
    QCoro::Task<std::optional<QString>> reading = Keychain::get(accountA);
    QTest::qWait(300);
    const bool answeredWhileStopped = reading.isReady();
    const qint64 spent = clock.elapsed();
    ::kill(keyring, SIGCONT);

    EXPECT_LT(spent, 5000) << "nothing on this thread waited for the stopped store";
    EXPECT_FALSE(answeredWhileStopped);
    EXPECT_EQ(QCoro::waitFor(reading), "last");
}

} // namespace
