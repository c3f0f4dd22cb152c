#include "Updater.h"
#include "QtPrinters.h"

#include <QHttpServer>
#include <QHttpServerRequest>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace std::chrono_literals;

namespace {

const QByteArray feed = R"(<rss version="2.0"><channel>
<item><title>Talvo 2.0</title><version>2.0.0</version><link>https://example.org/2.0</link></item>
<item><title>Talvo 1.0</title><version>1.0.0</version><link>https://example.org/1.0</link></item>
</channel></rss>)";

class UpdaterTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.route("/feed.xml", [this](const QHttpServerRequest &request) {
            userAgent = request.value("User-Agent");
            return QHttpServerResponse("application/rss+xml", body);
        });
        server.route("/broken.xml", [] {
            return QHttpServerResponse("text/html", "<html>oops",
                                       QHttpServerResponder::StatusCode::BadGateway);
        });
        port = server.listen(QHostAddress::LocalHost, 0);
        ASSERT_NE(port, 0);
    }
    QUrl url(const char *path) const {
        return QUrl(QString("http://127.0.0.1:%1%2").arg(port).arg(path));
    }

    QHttpServer server;
    quint16 port = 0;
    QByteArray body = feed;
    QByteArray userAgent;
    QNetworkAccessManager network;
};

TEST_F(UpdaterTest, UserCheckAnswersWithTheNewestNewerRelease) {
    Updater updater(network, url("/feed.xml"), "1.5.0");
    EXPECT_FALSE(updater.canCheckForUpdates());
    updater.start(1h);
    EXPECT_FALSE(updater.canCheckForUpdates()) << "the first answer comes on a later pass";
    EXPECT_TRUE(QTest::qWaitFor([&] { return bool(updater.canCheckForUpdates()); }));

    QSignalSpy finished(&updater, &Updater::checkFinished);
    updater.checkForUpdates();
    EXPECT_FALSE(updater.canCheckForUpdates()) << "no second check while one runs";
    EXPECT_TRUE(QTest::qWaitFor([&] { return finished.count() == 1; })) << "finished.count()";
    EXPECT_EQ(finished[0][0].value<Updater::Outcome>(), Updater::Outcome::NewerVersion);
    EXPECT_EQ(finished[0][1].value<AppcastRelease>().link, QUrl("https://example.org/2.0"));
    EXPECT_TRUE(updater.canCheckForUpdates());
    EXPECT_EQ(userAgent, "Talvo/1.5.0") << "the check names the installed version";

    Updater current(network, url("/feed.xml"), "2.0.0");
    current.start(1h);
    EXPECT_TRUE(QTest::qWaitFor([&] { return bool(current.canCheckForUpdates()); }));
    QSignalSpy upToDate(&current, &Updater::checkFinished);
    current.checkForUpdates();
    EXPECT_TRUE(QTest::qWaitFor([&] { return upToDate.count() == 1; })) << "upToDate.count()";
    EXPECT_EQ(upToDate[0][0].value<Updater::Outcome>(), Updater::Outcome::UpToDate);
}

TEST_F(UpdaterTest, BackgroundChecksSpeakOnlyOfNewerVersions) {
    Updater updater(network, url("/feed.xml"), "1.0.0");
    QSignalSpy newer(&updater, &Updater::newerVersionAvailable);
    QSignalSpy userAnswers(&updater, &Updater::checkFinished);
    updater.start(0ms);
    EXPECT_TRUE(QTest::qWaitFor([&] { return newer.count() == 1; })) << "newer.count()";
    EXPECT_EQ(newer[0][0].value<AppcastRelease>().version, "2.0.0");

    Updater latest(network, url("/feed.xml"), "3.0");
    QSignalSpy quiet(&latest, &Updater::newerVersionAvailable);
    latest.start(0ms);
    EXPECT_TRUE(QTest::qWaitFor([&] { return bool(latest.canCheckForUpdates()); }));
    QTest::qWait(100);
    EXPECT_EQ(quiet.count(), 0);
    EXPECT_EQ(userAnswers.count(), 0);
}

TEST_F(UpdaterTest, BrokenFeedsAndMissingFeedsAreQuiet) {
    for (const char *path : {"/broken.xml", "/missing.xml"}) {
        Updater updater(network, url(path), "1.0.0");
        updater.start(1h);
        EXPECT_TRUE(QTest::qWaitFor([&] { return bool(updater.canCheckForUpdates()); }));
        QSignalSpy finished(&updater, &Updater::checkFinished);
        updater.checkForUpdates();
        EXPECT_TRUE(QTest::qWaitFor([&] { return finished.count() == 1; })) << "finished.count()";
        EXPECT_EQ(finished[0][0].value<Updater::Outcome>(), Updater::Outcome::Failed) << path;
    }

    body = QByteArray(2 * Updater::maxFeedSize, 'x');
    Updater huge(network, url("/feed.xml"), "1.0.0");
    huge.start(1h);
    EXPECT_TRUE(QTest::qWaitFor([&] { return bool(huge.canCheckForUpdates()); }));
    QSignalSpy finished(&huge, &Updater::checkFinished);
    huge.checkForUpdates();
    EXPECT_TRUE(QTest::qWaitFor([&] { return finished.count() == 1; })) << "finished.count()";
    EXPECT_EQ(finished[0][0].value<Updater::Outcome>(), Updater::Outcome::Failed);

    for (const QUrl &feedUrl :
         {QUrl(), QUrl("http://updates.example.org/feed.xml"), QUrl("file:///etc/passwd")}) {
        Updater unconfigured(network, feedUrl, "1.0.0");
        unconfigured.start(0ms);
        QTest::qWait(50);
        EXPECT_FALSE(unconfigured.canCheckForUpdates()) << feedUrl.toString().toStdString();
    }
}

} // namespace
