#include "Appcast.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

const QByteArray feed = R"(<?xml version="1.0"?>
<rss version="2.0" xmlns:ov="https://example.org/appcast">
 <channel>
  <title>Talvo</title>
  <item><title>1.2.0</title><ov:version>1.2.0</ov:version><link>https://example.org/1.2</link></item>
  <item><title>1.10.0 beta</title><ov:version>1.10.0-beta</ov:version><link>https://example.org/1.10b</link></item>
  <item><title>no link</title><ov:version>9.0</ov:version></item>
  <item><title>unsafe link</title><ov:version>8.0</ov:version><link>javascript:alert(1)</link></item>
  <item><title>enclosure</title><enclosure url="https://example.org/1.3.tar.gz" ov:version="1.3"/></item>
  <item><title>no version</title><link>https://example.org/x</link></item>
 </channel>
</rss>)";

TEST(AppcastTest, ReadsReleasesWithAVersionAndAWebLink) {
    const auto releases = Appcast::parse(feed);
    ASSERT_TRUE(releases.has_value());
    ASSERT_EQ(releases->size(), 3);
    EXPECT_EQ(releases->at(0).link, QUrl("https://example.org/1.2"));
    EXPECT_EQ(releases->at(1).version, "1.10.0-beta");
    EXPECT_EQ(releases->at(2).version, "1.3");
    EXPECT_EQ(releases->at(2).link, QUrl("https://example.org/1.3.tar.gz"));
}

TEST(AppcastTest, NewerReleaseComparesVersionsNumerically) {
    const auto releases = *Appcast::parse(feed);
    EXPECT_EQ(Appcast::newerRelease(releases, "1.2.0")->version, "1.10.0-beta");
    EXPECT_FALSE(Appcast::newerRelease(releases, "1.10.0-beta").has_value());
    EXPECT_FALSE(Appcast::newerRelease(releases, "1.10").has_value());
    EXPECT_EQ(Appcast::newerRelease(releases, "0.1.0")->version, "1.10.0-beta");

    EXPECT_LT(Appcast::compareVersions("1.9", "1.10"), 0);
    EXPECT_EQ(Appcast::compareVersions("1.2", "1.2.0"), 0);
    EXPECT_LT(Appcast::compareVersions("2.0-rc1", "2.0"), 0);
    EXPECT_GT(Appcast::compareVersions("v2.1", "2.0.9"), 0);
    EXPECT_LT(Appcast::compareVersions("garbage", "0.0.1"), 0);
}

TEST(AppcastTest, BrokenFeedsAreRefused) {
    EXPECT_FALSE(Appcast::parse("").has_value());
    EXPECT_FALSE(Appcast::parse("<html><body>502 Bad Gateway</body></html>").has_value());
    EXPECT_FALSE(Appcast::parse("<rss><channel><item><title>cut off").has_value());
    EXPECT_FALSE(Appcast::parse("<rss/>").has_value());
    EXPECT_EQ(Appcast::parse("<rss><channel/></rss>"), QList<AppcastRelease>());
}

} // namespace
