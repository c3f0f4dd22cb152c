#include "Updater.h"
#include "QtPrinters.h"

#include <QHttpServer>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

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
        server.route("/feed.xml", [] { return QHttpServerResponse("application/rss+xml", feed); });
        server.route("/size/<arg>", [](qint64 size) {
            return QHttpServerResponse("application/rss+xml",
                                       QByteArray(size - feed.size(), ' ') + feed);
        });
        server.route("/broken.xml", [] {
            return QHttpServerResponse("text/html", "<html>oops",
                                       QHttpServerResponder::StatusCode::BadGateway);
        });
        port = server.listen(QHostAddress::LocalHost, 0);
        ASSERT_NE(port, 0);
    }
    QUrl url(const QString &path) const {
        return QUrl(QString("http://127.0.0.1:%1%2").arg(port).arg(path));
    }

    QHttpServer server;
    quint16 port = 0;
    QNetworkAccessManager network;
};

// A check the user asks for: not twice at once, and answered with the newest newer release,
// "up to date" or a failure.
TEST_F(UpdaterTest, UserCheckAnswersFromTheFeed) {
    // The feed after as much white space as makes it that size: cut short, it is unreadable.
    const QString largest = "/size/" + QString::number(Updater::maxFeedSize);
    const QString tooLarge = "/size/" + QString::number(Updater::maxFeedSize + 1);
    const std::tuple<QString, const char *, Updater::Outcome> cases[] = {
        {"/feed.xml", "1.5.0", Updater::Outcome::NewerVersion},
        {"/feed.xml", "2.0.0", Updater::Outcome::UpToDate},
        {largest, "1.5.0", Updater::Outcome::NewerVersion},
        {tooLarge, "1.5.0", Updater::Outcome::Failed},
        {"/broken.xml", "1.0.0", Updater::Outcome::Failed},
        {"/missing.xml", "1.0.0", Updater::Outcome::Failed},
    };
    for (const auto &[path, installed, outcome] : cases) {
        const std::string what = path.toStdString() + " for " + installed;
        Updater updater(network, url(path), installed);
        updater.start(1h);
        EXPECT_TRUE(QTest::qWaitFor([&] { return bool(updater.canCheckForUpdates()); })) << what;

        QSignalSpy finished(&updater, &Updater::checkFinished);
        updater.checkForUpdates();
        EXPECT_FALSE(updater.canCheckForUpdates()) << "no second check while one runs";
        ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 1; })) << what;
        EXPECT_EQ(finished[0][0].value<Updater::Outcome>(), outcome) << what;
        if (outcome == Updater::Outcome::NewerVersion) {
            EXPECT_EQ(finished[0][1].value<AppcastRelease>().link, QUrl("https://example.org/2.0"));
        }
    }
}

TEST_F(UpdaterTest, BackgroundChecksSpeakOnlyOfNewerVersionsFromAnHttpsOrLocalFeed) {
    Updater updater(network, url("/feed.xml"), "1.0.0");
    QSignalSpy newer(&updater, &Updater::newerVersionAvailable);
    QSignalSpy userAnswers(&updater, &Updater::checkFinished);
    updater.start(0ms);
    EXPECT_TRUE(QTest::qWaitFor([&] { return newer.count() == 1; })) << "newer.count()";
    EXPECT_EQ(newer[0][0].value<AppcastRelease>().version, "2.0.0");

    Updater latest(network, url("/feed.xml"), "3.0");
    QSignalSpy quiet(&latest, &Updater::newerVersionAvailable);
    latest.start(0ms);
    std::vector<std::unique_ptr<Updater>> refused;
    for (const QUrl &feedUrl :
         {QUrl(), QUrl("http://updates.example.org/feed.xml"), QUrl("file:///etc/passwd")})
        refused.emplace_back(std::make_unique<Updater>(network, feedUrl, "1.0.0"))->start(0ms);
    EXPECT_TRUE(QTest::qWaitFor([&] { return bool(latest.canCheckForUpdates()); }));
    QTest::qWait(100);
    EXPECT_EQ(quiet.count(), 0);
    EXPECT_EQ(userAnswers.count(), 0);
    for (const auto &unconfigured : refused)
        EXPECT_FALSE(unconfigured->canCheckForUpdates()) << "not checked at all";
}

} // namespace
