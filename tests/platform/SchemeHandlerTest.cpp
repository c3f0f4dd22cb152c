#include "SchemeHandler.h"
#include "QtPrinters.h"
#include "TempEnvironment.h"

#include <QProcess>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;

namespace {

// xdg-mime reads the same XDG folders the test main made private.
QString currentHandler() {
    QProcess query;
    query.start("xdg-mime", {"query", "default", SchemeHandler::mimeType});
    query.waitForFinished(10000);
    return QString::fromUtf8(query.readAllStandardOutput()).trimmed();
}

bool registerAndWait(SchemeHandler &handler) {
    QSignalSpy finished(&handler, &SchemeHandler::finished);
    handler.ensureRegistered();
    if (!finished.wait(10000))
        return false;
    return finished[0][0].toBool();
}

class SchemeHandlerTest : public ::testing::Test {
protected:
    void SetUp() override {
        QFile::remove(qEnvironmentVariable("XDG_CONFIG_HOME") + "/mimeapps.list");
        QDir(userApplications).removeRecursively();
        previousDataDirs = qgetenv("XDG_DATA_DIRS");
        qputenv("XDG_DATA_DIRS", system.path().toLocal8Bit());
    }
    void TearDown() override { qputenv("XDG_DATA_DIRS", previousDataDirs); }

    TempFolder system;
    QString systemApplications = system.filePath("applications");
    QByteArray previousDataDirs;
    QString userApplications = qEnvironmentVariable("XDG_DATA_HOME") + "/applications";
};

// The entry a build run writes follows its executable.
TEST_F(SchemeHandlerTest, BuildRunBecomesTheHandlerThroughItsOwnEntry) {
    SchemeHandler handler(userApplications, {systemApplications},
                          "/home/me/src/orvanta build/orvanta");
    registerAndWait(handler);
    EXPECT_EQ(currentHandler(), SchemeHandler::entryName);
    const QByteArray entry = TempFolder::read(handler.userEntryFile());
    EXPECT_TRUE(entry.contains("Exec=\"/home/me/src/orvanta build/orvanta\" %u\n"));
    EXPECT_TRUE(entry.contains("MimeType=x-scheme-handler/orvanta;\n"));
    SchemeHandler moved(userApplications, {systemApplications}, "/opt/orvanta/bin/orvanta");
    EXPECT_FALSE(registerAndWait(moved)) << "already the handler";
    EXPECT_TRUE(
        TempFolder::read(handler.userEntryFile()).contains("Exec=/opt/orvanta/bin/orvanta %u\n"));
}

TEST_F(SchemeHandlerTest, InstalledEntryIsUsedAndAnotherHandlerIsKept) {
    const QByteArray entry("[Desktop Entry]\nType=Application\nName=T\nExec=/bin/true %u\n");
    TempFolder::write(systemApplications + "/orvanta.desktop", entry);
    TempFolder::write(systemApplications + "/other-client.desktop", entry);
    SchemeHandler handler(userApplications, {systemApplications}, "/usr/bin/orvanta");
    EXPECT_TRUE(registerAndWait(handler));
    EXPECT_FALSE(QFile::exists(handler.userEntryFile())) << "the installed entry serves";
    EXPECT_EQ(currentHandler(), SchemeHandler::entryName);

    QProcess::execute("xdg-mime", {"default", "other-client.desktop", SchemeHandler::mimeType});
    EXPECT_FALSE(registerAndWait(handler));
    EXPECT_EQ(currentHandler(), "other-client.desktop");
}

} // namespace
