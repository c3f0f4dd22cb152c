#include "Config.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

TEST(ConfigTest, ThePlaceholderAnywhereMeansNotConfigured) {
    for (const char *base : {"https://REPLACE_ME.invalid", "https://api.example.com/REPLACE_ME",
                             "http://127.0.0.1:8080/?x=REPLACE_ME"})
        EXPECT_FALSE(Config(base, "https://account.example.com").isConfigured()) << base;
    EXPECT_TRUE(Config("https://api.example.com", "https://account.example.com").isConfigured());
}

TEST(ConfigTest, PlainHttpIsOnlyForThisMachine) {
    for (const char *base : {"http://127.0.0.1:9000", "http://[::1]:9000", "http://localhost",
                             "HTTP://LOCALHOST:1", "https://api.example.com"})
        EXPECT_TRUE(Config::isSafeBase(base)) << base;
    for (const char *base :
         {"http://api.example.com", "http://127.0.0.2", "http://localhost.evil",
          "ftp://api.example.com", "https://", "api.example.com", "", "https://exa mple.com"})
        EXPECT_FALSE(Config::isSafeBase(base)) << base;
    EXPECT_FALSE(Config("http://api.example.com", "https://a.example.com").isConfigured());
}

TEST(ConfigTest, EndpointsFollowTheBaseWithoutADoubleSlash) {
    const Config config("https://api.example.com/v1/", "https://account.example.com/");
    EXPECT_EQ(config.endpoint("/transcribe").toString(), "https://api.example.com/v1/transcribe");
    EXPECT_EQ(config.accountPage().toString(), "https://account.example.com/manage");
}

TEST(ConfigTest, AnUnusableAccountBaseGivesNoPage) {
    EXPECT_TRUE(
        Config("https://a.example.com", "https://REPLACE_ME.invalid").accountPage().isEmpty());
    EXPECT_TRUE(Config("https://a.example.com", "http://evil.example.com").accountPage().isEmpty());
}

TEST(ConfigTest, TheBuildDefaultsAreUnconfiguredAndWaitAMinute) {
    // This test tree is configured with the default cache values.
    const Config config = Config::fromBuild();
    EXPECT_TRUE(Config::isPlaceholder(config.proxyBaseURL()));
    EXPECT_FALSE(config.isConfigured());
    EXPECT_EQ(config.transferTimeout(), std::chrono::seconds(60));
}

} // namespace
