#include "LoginItem.h"
#include "QtPrinters.h"
#include "TempEnvironment.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;

namespace {

QStringList capturedWarnings;

void captureWarnings(QtMsgType type, const QMessageLogContext &, const QString &message) {
    if (type == QtWarningMsg)
        capturedWarnings.append(message);
}

class LoginItemTest : public ::testing::Test {
protected:
    TempFolder folder;
    QString autostart = folder.filePath("config/autostart");
    LoginItem item{autostart, "/opt/My Apps/orvanta"};
};

TEST_F(LoginItemTest, EnablingWritesAnAutostartEntryDisablingRemovesItAndFailuresAreLogged) {
    EXPECT_FALSE(item.isEnabled());
    item.set(true);
    ASSERT_TRUE(item.isEnabled());
    const QByteArray entry = TempFolder::read(autostart + "/orvanta.desktop");
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(entry.contains("\nExec=\"/opt/My Apps/orvanta\"\n"));
    EXPECT_TRUE(entry.contains("\nType=Application\n"));
    item.set(false);
    EXPECT_FALSE(QFile::exists(autostart + "/orvanta.desktop"));

    TempFolder::write(folder.filePath("blocked"), "a file where the folder should be");
    LoginItem blocked(folder.filePath("blocked/autostart"), "orvanta");
    capturedWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureWarnings);
    blocked.set(true);
    qInstallMessageHandler(previous);
    EXPECT_FALSE(blocked.isEnabled());
    ASSERT_EQ(capturedWarnings.size(), 1);
    EXPECT_TRUE(capturedWarnings[0].startsWith("LoginItem hata: "))
        << capturedWarnings[0].toStdString();
}

TEST_F(LoginItemTest, HiddenEntryCountsAsDisabledAndIsLeftAloneWhenDisabling) {
    const QByteArray hidden(
        "[Desktop Entry]\nType=Application\nExec=orvanta --custom\nHidden = true\n");
    TempFolder::write(autostart + "/orvanta.desktop", hidden);
    EXPECT_FALSE(item.isEnabled());
    item.set(false);
    EXPECT_EQ(TempFolder::read(autostart + "/orvanta.desktop"), hidden);
    item.set(true);
    EXPECT_TRUE(item.isEnabled());

    const struct {
        const char *entry;
        bool enabled;
    } entries[] = {
        {"[Desktop Entry]\nHidden=false\n[Desktop Action x]\nHidden=true\n", true},
        {"[Desktop Entry]\nExec=orvanta\nX-GNOME-Autostart-enabled=false\n", false},
        {"[Desktop Entry]\nX-GNOME-Autostart-enabled = false\nHidden=false\n", false},
        {"[Desktop Entry]\nX-GNOME-Autostart-enabled=true\n", true},
        {"[Other]\nX-GNOME-Autostart-enabled=false\n[Desktop Entry]\nExec=orvanta\n", true},
    };
    for (const auto &[entry, enabled] : entries) {
        TempFolder::write(autostart + "/orvanta.desktop", entry);
        EXPECT_EQ(item.isEnabled(), enabled) << entry << " (only the main group counts)";
    }
}

} // namespace
